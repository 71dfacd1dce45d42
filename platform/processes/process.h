#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/processes/library_search.h"
#include "platform/processes/process_journal.h"

namespace nimbra::platform {

class Machine;

inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;

// What starting a program gave.
struct ProcessResult {
  std::uint32_t error = 0;      // 0 when started; else the Windows error
  std::uint32_t exit_code = 0;  // the exit code when waited for

  bool Started() const { return error == 0; }
};

// What a program-start hook sees.
struct ProcessStart {
  std::string program;  // Windows path of the program file
  std::string arguments;
  std::string current_directory;
  ShowWindow show = ShowWindow::ShowNormal;
};

// Starts programs of the emulated machine. A Windows program never really
// runs here: a start succeeds when the program file exists in the machine,
// and is appended to the start journal (see ProcessJournal). Waiting for the
// program returns at once with its exit code from the exit-code table (0
// unless set; a listed code wins over a hook's). Hooks let a built-in stand-in act for a program (a
// system tool such as NET.EXE), keyed by file name.
//
// The exit-code table "<root>/emulation/exit-codes.txt" has lines
// "program<TAB>code": program is a full Windows path or a bare file name
// (both without regard to case; a full path wins over a bare name).
class Processes {
 public:
  // A hook returns the program's exit code.
  using Hook = std::function<std::uint32_t(const ProcessStart& start)>;

  // root: the machine root; resolve: Windows path -> host path; search: the
  // folders searched for a program given by bare name (the program folder
  // there is the folder of the calling program, the setup folder).
  Processes(std::filesystem::path root, PathResolver resolve, SearchPath search);
  // The same on a machine: its path resolution, the search of a program
  // started from program_dir, and its clock for the journal.
  Processes(const Machine& machine, const std::string& program_dir);

  // The clock of the journal's time stamps (the host clock by default).
  void SetClock(std::function<std::chrono::system_clock::time_point()> clock) {
    clock_ = std::move(clock);
  }

  void SetSearchPath(SearchPath search) { search_ = std::move(search); }
  const SearchPath& GetSearchPath() const { return search_; }

  // CreateProcess: application names the program file (no search, ".exe"
  // not added); when empty, the program is the first token of the command
  // line: a quoted text, or else the shortest blank-separated prefix that
  // names an existing file (".exe" added when there is no extension),
  // looked for along the search path. The arguments are the rest of the
  // command line. current_directory empty: the search path's current folder.
  ProcessResult CreateProcess(const std::string& application, const std::string& command_line,
                              ShowWindow show, bool wait,
                              const std::string& current_directory = {});

  // WinExec: the command line as for CreateProcess, no waiting. Returns a
  // value above 31 on success, else 2 (file not found), 3 (path not found).
  std::uint32_t WinExec(const std::string& command_line, ShowWindow show);

  void SetHook(const std::string& file_name, Hook hook);

  // The exit-code table.
  void SetExitCode(const std::string& program, std::uint32_t code);
  std::uint32_t ExitCodeOf(const std::string& program_path) const;

  ProcessJournal& Journal() { return journal_; }

 private:
  struct Located {
    std::optional<std::string> program;  // Windows path when found
    std::string asked;                   // program as written in the command line
    std::string arguments;
  };
  Located Locate(const std::string& command_line) const;
  std::optional<std::string> FindProgram(const std::string& name) const;
  bool FolderExists(const std::string& windows_file) const;
  std::optional<std::uint32_t> ListedExitCode(const std::string& program_path) const;

  std::filesystem::path root_;
  PathResolver resolve_;
  SearchPath search_;
  ProcessJournal journal_;
  TableFile exit_codes_;
  std::map<std::string, Hook> hooks_;  // by upper-case file name
  std::function<std::chrono::system_clock::time_point()> clock_;
};

}  // namespace nimbra::platform
