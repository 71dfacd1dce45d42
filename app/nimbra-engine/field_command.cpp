// field power-of-x --n N --exp-hex E
// field power --n N --exp-hex E --base-hex B

#include <cstdio>
#include <stdexcept>

#include "app/nimbra-engine/crypto_commands.h"
#include "engine/bit_array.h"
#include "engine/field/expo.h"
#include "engine/keystream/generator_sizes.h"

namespace nimbra::engine_tool {

namespace {

int MidTapOf(int n) {
  for (const auto& size : engine::kGeneratorSizeTable) {
    if (size.length == n) return size.mid_tap;
  }
  throw std::invalid_argument("--n must be a register length of the size table");
}

}  // namespace

void RunField(const Args& args) {
  if (args.empty()) throw std::invalid_argument("field power-of-x | power");
  const std::string& which = args[0];
  const Options options =
      ParseOptions(Args(args.begin() + 1, args.end()), {"--n", "--exp-hex", "--base-hex"}, {});
  const int n = static_cast<int>(ParseNumber("--n", options.Value("--n"), 1, 8192));
  const int m = MidTapOf(n);
  engine::TBitArray exponent(n), result(n);
  HexToArray(options.Value("--exp-hex"), exponent);
  if (which == "power-of-x") {
    engine::TExpo::PowerOfX(n, m, exponent.Words(), result.Words());
  } else if (which == "power") {
    engine::TBitArray base(n);
    HexToArray(options.Value("--base-hex"), base);
    engine::TExpo::Power(n, m, exponent.Words(), base.Words(), result.Words());
  } else {
    throw std::invalid_argument("field power-of-x | power");
  }
  std::printf("%s\n", ArrayToHex(result).c_str());
}

}  // namespace nimbra::engine_tool
