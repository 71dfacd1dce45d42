// Feeds arbitrary bytes to the shell link reader; a readable link must be
// written again and read back to the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/links/shell_link_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbra::platform;
  ShellLinkFile link;
  try {
    link = DecodeShellLink({data, size});
  } catch (const ShellLinkError&) {
    return 0;
  }
  link.had_id_list = false;
  if (DecodeShellLink(EncodeShellLink(link)) != link) std::abort();
  return 0;
}
