// The installer's ".reg" import: any bytes give steps without a fault, every
// step names a key of the four allowed roots (unknown roots were moved to
// HKEY_CURRENT_USER), and a text that does not begin with a "REGEDIT4" line
// gives none.
#include "setup/update_reg.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbra::setup;
  using nimbra::platform::RootKey;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto steps = ParseUpdateReg(text);
  const std::string_view first = text.substr(0, text.find('\n'));
  if (first.find("REGEDIT4") == std::string_view::npos && !steps.empty()) std::abort();
  for (const RegStep& step : steps) {
    if (step.root == RootKey::Users) std::abort();
    if (step.kind == RegStep::Kind::String && step.name.find('"') != std::string::npos) {
      std::abort();
    }
  }
  return 0;
}
