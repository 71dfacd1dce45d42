#include "netconfig/accounts_file.h"

namespace nimbra::netconfig {

std::vector<AccountLine> ParseAccountsFile(std::string_view text) {
  std::vector<AccountLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
      lines.push_back({std::string(), std::string(line)});
    } else {
      lines.push_back({std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))});
    }
    start = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++start;
  }
  return lines;
}

}  // namespace nimbra::netconfig
