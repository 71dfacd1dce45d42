#include "detect/hosts_file.h"

#include <optional>
#include <utility>

#include "core/strings.h"

namespace nimbra::detect {

namespace {

bool IsGap(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// Where the name field equal to `name` lies in the line: its first and one
// past its last byte.
std::optional<std::pair<std::size_t, std::size_t>> NameField(std::string_view line,
                                                             std::string_view name) {
  if (name.empty()) return std::nullopt;
  line = line.substr(0, line.find('#'));
  bool address = true;  // the first field is the address
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsGap(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsGap(line[i])) ++i;
    if (i == start) break;
    if (!address && AnsiSameText(line.substr(start, i - start), name)) {
      return std::make_pair(start, i);
    }
    address = false;
  }
  return std::nullopt;
}

// The number of name fields of a line.
int NameCount(std::string_view line) {
  line = line.substr(0, line.find('#'));
  int fields = 0;
  for (std::size_t i = 0; i < line.size();) {
    while (i < line.size() && IsGap(line[i])) ++i;
    if (i == line.size()) break;
    ++fields;
    while (i < line.size() && !IsGap(line[i])) ++i;
  }
  return fields > 0 ? fields - 1 : 0;
}

// The line end of the text's first line; CR LF for a text without one.
std::string TextLineEnd(std::string_view text) {
  const std::size_t first = text.find('\n');
  return first == std::string_view::npos || (first > 0 && text[first - 1] == '\r') ? "\r\n" : "\n";
}

}  // namespace

std::string QuickrouteHostsLine(std::string_view address, std::string_view name) {
  return std::string(address) + "\t" + std::string(name) + "  #added by NimbraPost";
}

bool HostsLineNames(std::string_view line, std::string_view name) {
  return NameField(line, name).has_value();
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
    const std::string_view found = text.substr(start, content - start);
    if (const auto field = NameField(found, name)) {
      std::string replaced = std::string(text.substr(0, start)) + line;
      // The line's other names keep their address on the line after it.
      const std::string others =
          std::string(found.substr(0, field->first)) + std::string(found.substr(field->second));
      if (NameCount(others) > 0) {
        // Between them the line's own end, or for a last line without
        // one the text's.
        replaced += end < text.size() ? std::string(text.substr(content, end + 1 - content))
                                      : TextLineEnd(text);
        replaced += others;
      }
      return replaced + std::string(text.substr(content));
    }
    start = end + 1;
  }
  const std::string lineEnd = TextLineEnd(text);
  std::string result(text);
  if (!result.empty() && result.back() != '\n') result += lineEnd;
  return result + line + lineEnd;
}

}  // namespace nimbra::detect
