// Fuzzes the Wine registry text parser: any input either raises
// ERegistryFormatError or loads; a loaded hive written out and read again
// gives the same text (writing is a fixed point after one round). Read as a
// damaged machine's hive (problems collected), any input loads, and what
// loads writes out as text that reads without a problem.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/reg_hive.h"
#include "platform/registry/registry.h"

using namespace nimbra::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<reg::HiveProblem> problems;
  const reg::HiveContent partial = reg::ParseHive(text, "fuzz.reg", &problems);
  const std::string saved = reg::WriteHive(*partial.root, ";; fuzz", partial.arch);
  std::vector<reg::HiveProblem> none;
  reg::ParseHive(saved, "saved.reg", &none);
  if (!none.empty()) std::abort();

  reg::HiveContent hive;
  try {
    hive = reg::ParseHive(text, "fuzz.reg");
  } catch (const ERegistryFormatError&) {
    return 0;
  }
  const std::string once = reg::WriteHive(*hive.root, ";; fuzz", hive.arch);
  reg::HiveContent again = reg::ParseHive(once, "again.reg");
  const std::string twice = reg::WriteHive(*again.root, ";; fuzz", again.arch);
  if (once != twice) std::abort();
  return 0;
}
