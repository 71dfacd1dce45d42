#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::platform {

class Machine;

// Maps a Windows path ("C:\WINDOWS\SYSTEM\pgpsdk.dll") to the host path that
// stands for it in the machine. Existing names are matched without regard to
// case; the result need not exist.
using PathResolver = std::function<std::filesystem::path(const std::string& windows_path)>;

// The folders Windows searches for a program or library given by bare file
// name, as Windows paths, in the order of the classic search: the program's
// own folder, the current folder, the system folder, the Windows folder and
// then each folder of PATH (";"-separated). Empty entries are skipped.
struct SearchPath {
  std::string program_dir;
  std::string current_dir;
  std::string system_dir;
  std::string windows_dir;
  std::string path;

  std::vector<std::string> Directories() const;
};

// Locates a file: a name with a folder part (HasDirectoryPart in
// platform/files/path.h) is taken as it is; a bare name is looked for in each
// folder of the search path. Returns the Windows path of the first regular
// file that exists in the machine.
std::optional<std::string> FindOnSearchPath(const std::string& name, const SearchPath& search,
                                            const PathResolver& resolve);

// The machine's own path resolution (case-insensitive, 8.3 names); a path
// outside every drive resolves to an empty host path, which exists nowhere.
PathResolver ResolverFor(const Machine& machine);
// The classic search of a program started from program_dir on the machine:
// its current directory, system and Windows folders, and a PATH of the
// system and Windows folders.
SearchPath SearchPathFor(const Machine& machine, const std::string& program_dir);

}  // namespace nimbra::platform
