#include "setup/journal_records.h"

#include <cstdlib>
#include <map>

#include "setup/install_ops.h"

namespace nimbra::setup {

std::vector<std::string> JournalLines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(at, end - at));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    at = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::optional<std::vector<JournalRecord>> ReadJournalRecords(std::string_view text,
                                                             bool* uninstalled) {
  const std::vector<std::string> lines = JournalLines(text);
  if (lines.empty() || lines.front() != InstallJournal::kHeader) return std::nullopt;
  if (uninstalled) *uninstalled = false;
  std::vector<JournalRecord> records;
  std::map<int, std::size_t> byNumber;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> fields;
    for (std::size_t at = 0;;) {
      const std::size_t tab = lines[i].find('\t', at);
      fields.push_back(InstallJournal::UnescapeField(lines[i].substr(at, tab - at)));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    if (fields.size() < 3) return std::nullopt;
    const long parsed = std::strtol(fields[1].c_str(), nullptr, 10);
    if (parsed < 0 || parsed > 1000000000) return std::nullopt;
    const int number = static_cast<int>(parsed);
    if (fields[0] == "U" && number == 0 && fields[2] == "END") {
      if (uninstalled) *uninstalled = true;
      continue;
    }
    if (number <= 0) return std::nullopt;
    const auto known = byNumber.find(number);
    if (fields[0] == "B") {
      byNumber[number] = records.size();
      records.push_back({number, fields[2], {fields.begin() + 3, fields.end()}, 0, {}});
    } else if (fields[0] == "D" && known != byNumber.end()) {
      records[known->second].state = fields[2] == "OK" ? 1 : 2;
    } else if (fields[0] == "U" && known != byNumber.end()) {
      records[known->second].undone = fields[2];
    } else {
      return std::nullopt;
    }
  }
  return records;
}

}  // namespace nimbra::setup
