// random --seed-hex H --count N

#include <cstdio>
#include <stdexcept>

#include "app/nimbra-engine/crypto_commands.h"
#include "core/hex.h"
#include "engine/entropy/random_gen.h"

namespace nimbra::engine_tool {

void RunRandom(const Args& args) {
  const Options options = ParseOptions(args, {"--seed-hex", "--count"}, {});
  const std::vector<std::uint8_t> seed = HexToBytes(options.Value("--seed-hex"));
  const long count = ParseNumber("--count", options.Value("--count"), 0, 1L << 24);
  engine::TRandomGen random;
  random.SetSeedData(seed.data());
  random.SetSeedLength(static_cast<int>(seed.size()));
  random.Seed();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  for (auto& b : bytes) b = random.RandomByte();
  std::printf("%s\n", HexLower(bytes).c_str());
}

}  // namespace nimbra::engine_tool
