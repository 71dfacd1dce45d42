#include "detect/hosts_file.h"

#include "core/strings.h"

namespace nimbra::detect {

namespace {

bool IsGap(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

std::string QuickrouteHostsLine(std::string_view address, std::string_view name) {
  return std::string(address) + "\t" + std::string(name) + "  #added by NimbraPost";
}

bool HostsLineNames(std::string_view line, std::string_view name) {
  if (name.empty()) return false;
  line = line.substr(0, line.find('#'));
  bool address = true;  // the first field is the address
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsGap(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsGap(line[i])) ++i;
    if (i == start) break;
    if (!address && AnsiSameText(line.substr(start, i - start), name)) return true;
    address = false;
  }
  return false;
}

std::string SetQuickrouteLine(std::string_view text, std::string_view address,
                              std::string_view name) {
  const std::string line = QuickrouteHostsLine(address, name);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::size_t content = end;
    if (content > start && text[content - 1] == '\r') --content;
    if (HostsLineNames(text.substr(start, content - start), name)) {
      return std::string(text.substr(0, start)) + line + std::string(text.substr(content));
    }
    start = end + 1;
  }
  const std::size_t first = text.find('\n');
  const std::string lineEnd =
      first == std::string_view::npos || (first > 0 && text[first - 1] == '\r') ? "\r\n" : "\n";
  std::string result(text);
  if (!result.empty() && result.back() != '\n') result += lineEnd;
  return result + line + lineEnd;
}

}  // namespace nimbra::detect
