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
// PreparedFile splits a replacement in two, for callers that replace several
// files as one (they record the prepared files before installing any).
//
// Tests make the writer fail at one step through InjectWriteFault, or slow
// it down through InjectWriteDelay.

#include <sys/types.h>

#include <chrono>
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

enum class WriteFault;

// Where the bytes of a replacement go; every write passes through the fault
// injection of the tests.
class FileSink {
 public:
  // Writes all of data; AtomicFileError on failure.
  void Write(std::string_view data);
  int Fd() const { return fd_; }

 private:
  friend class PreparedFile;
  FileSink(int fd, const std::filesystem::path& target, WriteFault& fault)
      : fd_(fd), target_(target), fault_(fault) {}

  int fd_;
  const std::filesystem::path& target_;
  WriteFault& fault_;  // the fault this replacement is still to meet
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

// A replacement in two steps: the constructor writes the temporary file and
// flushes it to disk (AtomicFileError on failure, nothing left behind);
// Install renames it over the target. Destroyed before Install, it removes its
// temporary file, unless Keep was called: the caller has recorded the file's
// name and installs it later, or after a crash, with InstallTempFile.
class PreparedFile {
 public:
  PreparedFile(const std::filesystem::path& target, const std::function<void(FileSink&)>& fill,
               const ReplaceOptions& options = {});
  PreparedFile(const std::filesystem::path& target, std::string_view content,
               const ReplaceOptions& options = {});
  ~PreparedFile();
  PreparedFile(const PreparedFile&) = delete;
  PreparedFile& operator=(const PreparedFile&) = delete;

  // The file replaced (a link's target) and the temporary file.
  const std::filesystem::path& Target() const { return target_; }
  const std::filesystem::path& TempPath() const { return temp_; }
  void Keep() { keep_ = true; }
  // AtomicFileError when the rename fails; the temporary file then stays
  // only when kept.
  void Install();

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  WriteFault fault_;
  bool keep_ = false;
  bool installed_ = false;
};

// Renames a temporary file a PreparedFile kept over target (a link: the file
// it names) and flushes the folder; AtomicFileError on failure.
void InstallTempFile(const std::filesystem::path& temp, const std::filesystem::path& target);

// Removes what killed writers of target left (see above) without replacing it.
void RemoveStaleTempFiles(const std::filesystem::path& target);

// The replacement after the next `skip` ones in this process meets `fault`
// (once); kNone cancels a fault not yet met.
void InjectWriteFault(WriteFault fault, int skip = 0);

// Every write, flush and rename of a replacement in this process first
// waits `delay` (zero: no wait), as on a slow disk.
void InjectWriteDelay(std::chrono::milliseconds delay);

}  // namespace nimbra::platform
