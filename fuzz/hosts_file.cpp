// The hosts file's lines as Quickroute edits them: the first line of the
// input is the server name, the rest the hosts text. Any bytes are handled
// without a fault; the Quickroute line ends up in the text, the text before
// it is kept, and a second edit changes nothing.
#include "detect/hosts_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbra::detect;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string_view name = input.substr(0, newline);
  const std::string_view text =
      newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
  const std::string once = SetQuickrouteLine(text, "127.0.3.1", name);
  if (name.empty() || name.find_first_of(" \t\r\n#") != std::string_view::npos) return 0;
  const std::string line = QuickrouteHostsLine("127.0.3.1", name);
  const std::size_t at = once.find(line);
  if (at == std::string::npos || !HostsLineNames(line, name)) std::abort();
  const std::size_t kept = std::min(at, text.size());
  if (once.compare(0, kept, text.substr(0, kept)) != 0) std::abort();
  if (SetQuickrouteLine(once, "127.0.3.1", name) != once) std::abort();
  return 0;
}
