// The PGP toolkit's preferences file: any bytes read without a fault, and
// what is read survives being saved and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pgp/toolkit_api.h"
#include "pgp/toolkit_prefs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbra::pgp;
  const ToolkitPrefs read =
      ToolkitPrefs::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string saved;
  try {
    saved = read.Text();
  } catch (const std::exception&) {
    return 0;  // a value that cannot be written back (a line break) is refused
  }
  const ToolkitPrefs again = ToolkitPrefs::Parse(saved);
  for (std::uint32_t pref : {kPrefPublicKeyRing, kPrefPrivateKeyRing, kPrefRandomSeedFile})
    if (again.FilePref(pref) != read.FilePref(pref)) std::abort();
  if (again.Data() != read.Data()) std::abort();
  return 0;
}
