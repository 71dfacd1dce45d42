// Fuzzes the .reg import: any input either raises ERegistryFormatError
// (leaving the registry unchanged) or imports.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

using namespace nimbra::platform;

namespace {

std::string Snapshot(Registry& registry) {
  return registry.HiveText(RootKey::LocalMachine) + registry.HiveText(RootKey::CurrentUser);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A machine folder that does not exist, and no Flush: nothing touches the disk.
  static Registry* registry = new Registry("/nonexistent/nimbra-fuzz-machine");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string before = Snapshot(*registry);
  try {
    ImportRegFile(*registry, text, "fuzz.reg");
  } catch (const ERegistryFormatError&) {
    if (Snapshot(*registry) != before) std::abort();  // a rejected file changes nothing
  }
  // Start the next input from empty hives.
  for (RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser}) {
    std::optional<RegKey> top = registry->OpenKey(root, "", false);
    for (const std::string& name : top->SubkeyNames()) top->DeleteSubkey(name);
    for (const std::string& name : top->ValueNames()) top->DeleteValue(name);
  }
  return 0;
}
