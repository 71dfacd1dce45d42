// The accounts file of the accounts page: any bytes give lines without a
// fault, no field holds a line end, and the name never holds a TAB.
#include "netconfig/accounts_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbra::netconfig;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t bytes = 0;
  for (const AccountLine& line : ParseAccountsFile(input)) {
    if (line.name.find_first_of("\t\r\n") != std::string::npos) std::abort();
    if (line.addresses.find_first_of("\r\n") != std::string::npos) std::abort();
    bytes += line.name.size() + line.addresses.size();
  }
  if (bytes > input.size()) std::abort();
  return 0;
}
