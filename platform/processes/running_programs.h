#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/processes/library_search.h"
#include "platform/processes/process_table_file.h"
#include "platform/processes/window.h"

namespace nimbra::platform {

// How a running program holds a file.
enum class FileLock {
  None,
  // A program file or library mapped as its image: it cannot be overwritten
  // or deleted, but it can be renamed (the program keeps the renamed file).
  Image,
  // A file the program opened without sharing: no overwrite, delete or rename.
  Open,
};

// The programs of the machine that run now, kept in
// "<root>/emulation/running.txt" so that tests and the demo can seed a
// program that holds files. Lines:
//   program<TAB>window<TAB>held<TAB>held...
// program is the Windows path the program was started as; window 0 means it
// runs without a window (until its line is removed), otherwise it runs while
// that window is in the window table (platform/processes/window.h). Each
// held file is "image <path>" or "open <path>" (a Windows path).
class RunningPrograms {
 public:
  RunningPrograms(const std::filesystem::path& machineRoot, PathResolver resolve);

  // Records a program as running. It holds its own program file and the
  // ".exe", ".dll" and ".ocx" files among `files` as images, the other files
  // as open files.
  void Start(const std::string& program, const std::vector<std::string>& files,
             WindowHandle window = 0);
  // Removes every line of the program.
  void End(const std::string& program);
  // The strongest lock a running program holds on the host file (compared by
  // device and inode, so every spelling and short name of it counts).
  FileLock LockOf(const std::filesystem::path& hostFile) const;
  // Renames a held image through `rename`; when that succeeds, the lines
  // that named the file name `to` (the program holds it under its new name).
  bool MoveImage(const std::filesystem::path& fromHost, const std::string& to,
                 const std::function<bool()>& rename);

 private:
  bool Runs(const TableFile::Row& row) const;

  std::filesystem::path root_;
  TableFile table_;
  PathResolver resolve_;
};

}  // namespace nimbra::platform
