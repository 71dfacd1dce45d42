#include "platform/processes/process.h"

#include <cstdlib>

#include "core/strings.h"
#include "platform/files/path.h"
#include "platform/machine.h"

namespace nimbra::platform {

namespace {

std::string TrimLeftBlanks(const std::string& text) {
  std::size_t start = text.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

Processes::Processes(std::filesystem::path root, PathResolver resolve, SearchPath search)
    : root_(std::move(root)),
      resolve_(std::move(resolve)),
      search_(std::move(search)),
      journal_(root_),
      exit_codes_(EmulationFolder(root_) / "exit-codes.txt",
                  {"Exit codes reported when a program is waited for (0 when not listed).",
                   "program (full Windows path or file name)\texit code"}),
      clock_([] { return std::chrono::system_clock::now(); }) {}

Processes::Processes(const Machine& machine, const std::string& program_dir)
    : Processes(machine.Root(), ResolverFor(machine), SearchPathFor(machine, program_dir)) {
  clock_ = [&machine] { return machine.Now(); };
}

void Processes::SetHook(const std::string& file_name, Hook hook) {
  hooks_[UpperCase(ExtractFileName(file_name))] = std::move(hook);
}

std::optional<std::string> Processes::FindProgram(const std::string& name) const {
  std::string file = WithDefaultExtension(name, ".exe");
  if (auto found = FindOnSearchPath(file, search_, resolve_)) return found;
  // A hooked system tool stands in the system folder even without a file.
  if (!HasDirectoryPart(file) && hooks_.count(UpperCase(file)) != 0) {
    return JoinWindowsPath(search_.system_dir, file);
  }
  return std::nullopt;
}

Processes::Located Processes::Locate(const std::string& command_line) const {
  Located located;
  std::string line = TrimLeftBlanks(command_line);
  if (!line.empty() && line[0] == '"') {
    std::size_t close = line.find('"', 1);
    located.asked = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    located.arguments =
        close == std::string::npos ? std::string() : TrimLeftBlanks(line.substr(close + 1));
    located.program = FindProgram(located.asked);
    return located;
  }
  // Unquoted: try "C:\Program", "C:\Program Files\x.exe", ... as Windows does.
  std::size_t end = 0;
  while (end != std::string::npos) {
    end = line.find(' ', end + 1);
    std::string candidate = line.substr(0, end);
    if (auto found = FindProgram(candidate)) {
      located.program = found;
      located.asked = candidate;
      located.arguments =
          end == std::string::npos ? std::string() : TrimLeftBlanks(line.substr(end));
      return located;
    }
  }
  std::size_t blank = line.find(' ');
  located.asked = line.substr(0, blank);
  located.arguments =
      blank == std::string::npos ? std::string() : TrimLeftBlanks(line.substr(blank));
  return located;
}

bool Processes::FolderExists(const std::string& windows_file) const {
  std::string folder = ExtractFileDir(windows_file);
  if (folder.empty()) return true;
  std::error_code ec;
  return std::filesystem::is_directory(resolve_(folder), ec);
}

ProcessResult Processes::CreateProcess(const std::string& application,
                                       const std::string& command_line, ShowWindow show, bool wait,
                                       const std::string& current_directory) {
  ProcessJournalEntry entry;
  entry.time = clock_();
  entry.current_directory = current_directory.empty() ? search_.current_dir : current_directory;
  entry.show = show;
  entry.wait = wait;
  std::optional<std::string> program;
  if (!application.empty()) {
    entry.program = HasDirectoryPart(application) || entry.current_directory.empty()
                        ? application
                        : JoinWindowsPath(entry.current_directory, application);
    entry.arguments = command_line;
    std::error_code ec;
    if (std::filesystem::is_regular_file(resolve_(entry.program), ec)) program = entry.program;
  } else {
    Located located = Locate(command_line);
    program = located.program;
    entry.program = program ? *program : located.asked;
    entry.arguments = located.arguments;
  }

  ProcessResult result;
  if (!program) {
    result.error = FolderExists(entry.program) ? kErrorFileNotFound : kErrorPathNotFound;
    entry.error = result.error;
    journal_.Add(entry);
    return result;
  }
  journal_.Add(entry);
  std::uint32_t exit_code = 0;
  auto hook = hooks_.find(UpperCase(ExtractFileName(*program)));
  if (hook != hooks_.end()) {
    exit_code =
        hook->second(ProcessStart{*program, entry.arguments, entry.current_directory, show});
  }
  if (auto listed = ListedExitCode(*program)) exit_code = *listed;
  if (wait) result.exit_code = exit_code;
  return result;
}

std::uint32_t Processes::WinExec(const std::string& command_line, ShowWindow show) {
  ProcessResult result = CreateProcess({}, command_line, show, false);
  return result.Started() ? 33 : result.error;
}

void Processes::SetExitCode(const std::string& program, std::uint32_t code) {
  exit_codes_.Update([&](std::vector<TableFile::Row>& rows) {
    for (TableFile::Row& row : rows) {
      if (!row.empty() && SameText(row[0], program)) {
        row = {program, std::to_string(code)};
        return true;
      }
    }
    rows.push_back({program, std::to_string(code)});
    return true;
  });
}

std::uint32_t Processes::ExitCodeOf(const std::string& program_path) const {
  return ListedExitCode(program_path).value_or(0);
}

std::optional<std::uint32_t> Processes::ListedExitCode(const std::string& program_path) const {
  std::optional<std::uint32_t> by_name;
  for (const TableFile::Row& row : exit_codes_.Read()) {
    if (row.size() < 2) continue;
    auto code = static_cast<std::uint32_t>(std::strtoul(row[1].c_str(), nullptr, 0));
    if (SameText(row[0], program_path)) return code;
    if (!HasDirectoryPart(row[0]) && SameText(row[0], ExtractFileName(program_path))) {
      by_name = code;
    }
  }
  return by_name;
}

}  // namespace nimbra::platform
