#pragma once

// Whole-file reads, and the one way this system replaces a file: so that a
// crash, a full disk or a failing call at any moment leaves either the old
// file or the whole new one, never a half-written file and never none.
//
// ReplaceFile writes a temporary file in the target's folder, named
// "<name>.~<pid>.<n>.tmp" (the writing process and a counter), flushes it to
// disk, renames it over the target and flushes the folder. The temporary file
// is removed on every failure. A writer killed before its rename leaves its
// temporary file behind; the next replacement of the same target removes such
// leftovers (those whose process is gone and whose lock nobody holds).
//
// Tests make the writer fail at one step through InjectWriteFault.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/machine_error.h"

namespace nimbra::platform {

// A whole-file read or replacement on a host path that failed: what() is
// "<path>: cannot <step> (<system message>)".
class AtomicFileError : public PlatformError {
 public:
  AtomicFileError(const std::filesystem::path& path, std::string step, int code);
  // "open", "read", "create a temporary file", "write", "flush", "close" or
  // "replace".
  const std::string& Step() const { return step_; }
  // The errno value of the failure.
  int Code() const { return code_; }

 private:
  std::string step_;
  int code_;
};

// The file's bytes; nullopt when it does not exist. AtomicFileError when it
// exists but cannot be read.
std::optional<std::string> ReadFileIfExists(const std::filesystem::path& path);

// Where the bytes of a replacement go; every write passes through the fault
// injection of the tests.
class FileSink {
 public:
  FileSink(int fd, const std::filesystem::path& target) : fd_(fd), target_(target) {}
  // Writes all of data; AtomicFileError on failure.
  void Write(std::string_view data);
  int Fd() const { return fd_; }

 private:
  int fd_;
  const std::filesystem::path& target_;
};

struct ReplaceOptions {
  // The file whose permission bits and DOS attributes
  // (platform/files/file_attributes.h) the new file takes; empty: the target
  // itself. A new file without a model gets what the process's umask leaves
  // of 0666.
  std::filesystem::path like;
  // Runs on the written temporary file before it is flushed (time stamps).
  std::function<void(int fd)> finish;
};

// Replaces target (a symbolic link: the file it names, the link stays) with
// what fill writes; AtomicFileError on failure, the target then untouched.
void ReplaceFile(const std::filesystem::path& target, const std::function<void(FileSink&)>& fill,
                 const ReplaceOptions& options = {});
void ReplaceFile(const std::filesystem::path& target, std::string_view content,
                 const ReplaceOptions& options = {});

// ---- fault injection, for tests ----

enum class WriteFault {
  kNone,
  kWriteError,   // the first write fails (EIO)
  kDiskFull,     // half the content is written, then the disk is full (ENOSPC)
  kFlushError,   // flushing the temporary file fails (EIO)
  kRenameError,  // the rename over the target fails (EACCES)
  kKilled,       // the process is killed (SIGKILL) just before the rename
};

// The replacement after the next `skip` ones in this process meets `fault`
// (once); kNone cancels a fault not yet met.
void InjectWriteFault(WriteFault fault, int skip = 0);

}  // namespace nimbra::platform
