#include "platform/processes/process_journal.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace nimbra::platform {

namespace {

constexpr const char* kShowNames[] = {"SW_HIDE",          "SW_SHOWNORMAL",      "SW_SHOWMINIMIZED",
                                      "SW_SHOWMAXIMIZED", "SW_SHOWNOACTIVATE",  "SW_SHOW",
                                      "SW_MINIMIZE",      "SW_SHOWMINNOACTIVE", "SW_SHOWNA",
                                      "SW_RESTORE",       "SW_SHOWDEFAULT"};

std::string FormatTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  auto millis = duration_cast<milliseconds>(time.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millis % 1000));
  return text;
}

std::chrono::system_clock::time_point ParseTime(const std::string& text) {
  std::tm utc{};
  int millis = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &utc.tm_year, &utc.tm_mon, &utc.tm_mday,
                  &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &millis) != 7) {
    return {};
  }
  utc.tm_year -= 1900;
  utc.tm_mon -= 1;
  return std::chrono::system_clock::from_time_t(timegm(&utc)) + std::chrono::milliseconds(millis);
}

// "started" -> 0, "error <n>" -> n; anything else counts as a failure.
std::uint32_t ParseResult(const std::string& text) {
  if (text == "started") return 0;
  if (text.rfind("error ", 0) == 0) {
    auto code = static_cast<std::uint32_t>(std::strtoul(text.c_str() + 6, nullptr, 10));
    if (code != 0) return code;
  }
  return 31;  // ERROR_GEN_FAILURE
}

}  // namespace

std::string ShowWindowName(ShowWindow show) {
  auto n = static_cast<std::uint32_t>(show);
  if (n < std::size(kShowNames)) return kShowNames[n];
  return "SW_" + std::to_string(n);
}

ShowWindow ShowWindowFromName(const std::string& name) {
  for (std::uint32_t n = 0; n < std::size(kShowNames); ++n) {
    if (name == kShowNames[n]) return static_cast<ShowWindow>(n);
  }
  if (name.rfind("SW_", 0) == 0) {
    return static_cast<ShowWindow>(std::strtoul(name.c_str() + 3, nullptr, 10));
  }
  return ShowWindow::ShowNormal;
}

ProcessJournal::ProcessJournal(const std::filesystem::path& machine_root)
    : file_(EmulationFolder(machine_root) / "process-journal.txt",
            {"Programs started on this machine, one line per start attempt.",
             "time\tprogram\targuments\tdirectory\tshow\twait\tresult"}) {}

void ProcessJournal::Add(const ProcessJournalEntry& entry) {
  file_.Append({FormatTime(entry.time), entry.program, entry.arguments, entry.current_directory,
                ShowWindowName(entry.show), entry.wait ? "wait" : "nowait",
                entry.error == 0 ? "started" : "error " + std::to_string(entry.error)});
}

std::vector<ProcessJournalEntry> ProcessJournal::Entries() const {
  std::vector<ProcessJournalEntry> entries;
  for (const TableFile::Row& row : file_.Read()) {
    if (row.size() < 7) continue;  // not a line this journal wrote
    ProcessJournalEntry entry;
    entry.time = ParseTime(row[0]);
    entry.program = row[1];
    entry.arguments = row[2];
    entry.current_directory = row[3];
    entry.show = ShowWindowFromName(row[4]);
    entry.wait = row[5] == "wait";
    entry.error = ParseResult(row[6]);
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace nimbra::platform
