#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/processes/process_table_file.h"

namespace nimbra::platform {

// The show state a program is started with (the SW_ numbers of Windows).
enum class ShowWindow : std::uint32_t {
  Hide = 0,
  ShowNormal = 1,
  ShowMinimized = 2,
  ShowMaximized = 3,
  ShowNoActivate = 4,
  Show = 5,
  Minimize = 6,
  ShowMinNoActive = 7,
  ShowNA = 8,
  Restore = 9,
  ShowDefault = 10,
};

// "SW_HIDE", "SW_SHOWNORMAL", ...; "SW_<n>" for a number without a name.
std::string ShowWindowName(ShowWindow show);
ShowWindow ShowWindowFromName(const std::string& name);

// One start of a program, as the journal records it.
struct ProcessJournalEntry {
  std::chrono::system_clock::time_point time;
  std::string program;            // Windows path of the program file (as asked when not found)
  std::string arguments;          // the command line after the program
  std::string current_directory;  // the directory the program was started in
  ShowWindow show = ShowWindow::ShowNormal;
  bool wait = false;
  std::uint32_t error = 0;  // 0: started; else the Windows error (2 file not found, ...)

  bool Started() const { return error == 0; }
};

// The start journal "<root>/emulation/process-journal.txt": one line per
// start attempt, appended, never rewritten. Fields, TAB-separated, in this
// order (control characters and '%' inside a field as "%XX"):
//   time         UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ"
//   program      Windows path of the program file
//   arguments    the rest of the command line, leading blanks removed
//   directory    the current directory given to the program
//   show         "SW_HIDE", "SW_SHOWNORMAL", "SW_SHOWMINIMIZED", ...
//   wait         "wait" or "nowait"
//   result       "started", or "error <n>" with the Windows error number
// Lines starting with '#' are comments (the file starts with one naming the
// columns).
class ProcessJournal {
 public:
  explicit ProcessJournal(const std::filesystem::path& machine_root);

  void Add(const ProcessJournalEntry& entry);
  std::vector<ProcessJournalEntry> Entries() const;
  const std::filesystem::path& Path() const { return file_.Path(); }

 private:
  TableFile file_;
};

}  // namespace nimbra::platform
