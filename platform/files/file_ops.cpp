// File and directory operations of the machine on Windows paths.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files/atomic_file.h"
#include "platform/files/file_attributes_host.h"
#include "platform/files/path.h"
#include "platform/machine.h"
#include "platform/processes/running_programs.h"

namespace nimbra::platform {

namespace fs = std::filesystem;

namespace {

bool StatPath(const fs::path& path, struct stat& st) {
  return ::stat(path.c_str(), &st) == 0;
}

bool IsReadOnly(const struct stat& st) {
  return (st.st_mode & 0222) == 0;
}

// What the machine's running programs hold of a host file.
FileLock HeldLock(const Machine& machine, const fs::path& host) {
  return RunningPrograms(machine.Root(), ResolverFor(machine)).LockOf(host);
}

void CopyContent(int from, FileSink& to) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got == 0) return;
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError("cannot read the file to copy");
    }
    to.Write(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
}

FileTime FromTimespec(const timespec& ts) {
  return FileTime(std::chrono::duration_cast<FileTime::duration>(
      std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
}

timespec ToTimespec(FileTime time) {
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  timespec ts;
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  if (ts.tv_nsec < 0) {
    ts.tv_nsec += 1'000'000'000;
    --ts.tv_sec;
  }
  return ts;
}

}  // namespace

bool Machine::FileExists(std::string_view path) const {
  const auto resolved = Resolve(path);
  struct stat st;
  return resolved && resolved->exists && StatPath(resolved->host, st) && S_ISREG(st.st_mode);
}

bool Machine::DirectoryExists(std::string_view path) const {
  const auto resolved = Resolve(path);
  struct stat st;
  return resolved && resolved->exists && StatPath(resolved->host, st) && S_ISDIR(st.st_mode);
}

bool Machine::CreateDirectory(std::string_view path) {
  const auto resolved = Resolve(path);
  if (!resolved || resolved->exists) return false;
  struct stat st;
  if (!StatPath(resolved->host.parent_path(), st) || !S_ISDIR(st.st_mode)) return false;
  return ::mkdir(resolved->host.c_str(), 0755) == 0;
}

bool Machine::ForceDirectories(std::string_view path) {
  const std::string full = FullPath(path);
  if (full.empty() || !DirectoryExists(full.substr(0, 3))) return false;
  std::string prefix = full.substr(0, 2);
  for (const std::string& part : SplitPathComponents(std::string_view(full).substr(3))) {
    prefix += "\\" + part;
    if (!DirectoryExists(prefix) && !CreateDirectory(prefix)) return false;
  }
  return true;
}

bool Machine::CopyFile(std::string_view source, std::string_view destination, bool fail_if_exists) {
  const auto from = Resolve(source);
  const auto to = Resolve(destination);
  struct stat src;
  if (!from || !from->exists || !to || !StatPath(from->host, src) || !S_ISREG(src.st_mode)) {
    return false;
  }
  struct stat dst;
  if (to->exists && StatPath(to->host, dst)) {
    const bool same = dst.st_dev == src.st_dev && dst.st_ino == src.st_ino;
    if (fail_if_exists || same || !S_ISREG(dst.st_mode) || IsReadOnly(dst)) return false;
    // A file in use (a running program's image or open file) is not overwritten.
    if (HeldLock(*this, to->host) != FileLock::None) return false;
  }
  struct stat parent;
  if (!StatPath(to->host.parent_path(), parent) || !S_ISDIR(parent.st_mode)) return false;
  const int in = ::open(from->host.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  bool ok = true;
  try {
    ReplaceOptions options;
    options.like = from->host;  // a copy keeps the source's mode and attributes
    options.finish = [&src](int fd) {
      // ... and its time stamp, as on Windows.
      const timespec times[2] = {src.st_atim, src.st_mtim};
      ::futimens(fd, times);
    };
    ReplaceFile(
        to->host, [in](FileSink& sink) { CopyContent(in, sink); }, options);
  } catch (const PlatformError&) {
    ok = false;
  }
  ::close(in);
  return ok;
}

bool Machine::MoveFile(std::string_view source, std::string_view destination,
                       bool replace_existing) {
  const auto from = Resolve(source);
  const auto to = Resolve(destination);
  struct stat src;
  if (!from || !from->exists || !to || ::lstat(from->host.c_str(), &src) != 0) return false;
  fs::path target = to->host;
  struct stat dst;
  if (to->exists && ::lstat(to->host.c_str(), &dst) == 0) {
    if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
      // The same entry under another spelling: a change of letter case.
      target = to->host.parent_path() / AnsiToHostName(ExtractFileName(FullPath(destination)));
    } else if (!replace_existing || S_ISDIR(dst.st_mode) || S_ISDIR(src.st_mode) ||
               IsReadOnly(dst) || HeldLock(*this, to->host) != FileLock::None) {
      return false;
    }
  }
  struct stat parent;
  if (!StatPath(target.parent_path(), parent) || !S_ISDIR(parent.st_mode)) return false;
  // A running program's open file cannot be renamed; its image can, and the
  // program keeps it under the new name.
  const FileLock lock = S_ISREG(src.st_mode) ? HeldLock(*this, from->host) : FileLock::None;
  if (lock == FileLock::Open) return false;
  if (lock == FileLock::Image) {
    return RunningPrograms(root_, ResolverFor(*this))
        .MoveImage(from->host, FullPath(destination),
                   [&] { return ::rename(from->host.c_str(), target.c_str()) == 0; });
  }
  if (::rename(from->host.c_str(), target.c_str()) == 0) return true;
  if (errno != EXDEV || !S_ISREG(src.st_mode)) return false;
  // Another host file system (a drive elsewhere): copy, then delete.
  const std::string target_path = FullPath(destination);
  return CopyFile(source, target_path, false) && ::unlink(from->host.c_str()) == 0;
}

bool Machine::DeleteFile(std::string_view path) {
  const auto resolved = Resolve(path);
  struct stat st;
  if (!resolved || !resolved->exists || !StatPath(resolved->host, st) || S_ISDIR(st.st_mode) ||
      IsReadOnly(st) || HeldLock(*this, resolved->host) != FileLock::None) {
    return false;
  }
  return ::unlink(resolved->host.c_str()) == 0;
}

bool Machine::RemoveDirectory(std::string_view path) {
  const auto resolved = Resolve(path);
  struct stat st;
  if (!resolved || !resolved->exists || ::lstat(resolved->host.c_str(), &st) != 0 ||
      !S_ISDIR(st.st_mode)) {
    return false;
  }
  return ::rmdir(resolved->host.c_str()) == 0;
}

std::optional<std::uint64_t> Machine::FileSize(std::string_view path) const {
  const auto resolved = Resolve(path);
  struct stat st;
  if (!resolved || !resolved->exists || !StatPath(resolved->host, st) || !S_ISREG(st.st_mode)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<FileTime> Machine::LastWriteTime(std::string_view path) const {
  const auto resolved = Resolve(path);
  struct stat st;
  if (!resolved || !resolved->exists || !StatPath(resolved->host, st)) return std::nullopt;
  return FromTimespec(st.st_mtim);
}

bool Machine::SetLastWriteTime(std::string_view path, FileTime time) {
  const auto resolved = Resolve(path);
  if (!resolved || !resolved->exists) return false;
  const timespec times[2] = {{0, UTIME_OMIT}, ToTimespec(time)};
  return ::utimensat(AT_FDCWD, resolved->host.c_str(), times, 0) == 0;
}

std::optional<std::uint32_t> Machine::GetAttributes(std::string_view path) const {
  const auto resolved = Resolve(path);
  if (!resolved || !resolved->exists) return std::nullopt;
  return HostFileAttributes(resolved->host);
}

bool Machine::SetAttributes(std::string_view path, std::uint32_t attributes) {
  const auto resolved = Resolve(path);
  return resolved && resolved->exists && SetHostFileAttributes(resolved->host, attributes);
}

std::string Machine::ReadFile(std::string_view path) const {
  const auto resolved = Resolve(path);
  struct stat st;
  if (!resolved || !resolved->exists || !StatPath(resolved->host, st) || !S_ISREG(st.st_mode)) {
    throw FileError("File not found: " + std::string(path));
  }
  try {
    if (std::optional<std::string> content = ReadFileIfExists(resolved->host)) return *content;
  } catch (const AtomicFileError& error) {
    throw FileError("Cannot " + error.Step() + " file " + std::string(path) + ": " +
                    std::strerror(error.Code()));
  }
  throw FileError("File not found: " + std::string(path));
}

void Machine::WriteFile(std::string_view path, std::string_view content) {
  const auto resolved = Resolve(path);
  if (!resolved) throw FileError("Not a path on this machine: " + std::string(path));
  struct stat parent;
  if (!StatPath(resolved->host.parent_path(), parent) || !S_ISDIR(parent.st_mode)) {
    throw FileError("Folder not found for " + std::string(path));
  }
  struct stat existing;
  if (resolved->exists && StatPath(resolved->host, existing) &&
      (!S_ISREG(existing.st_mode) || IsReadOnly(existing))) {
    throw FileError("Cannot write " + std::string(path) + ": access denied");
  }
  if (resolved->exists && HeldLock(*this, resolved->host) != FileLock::None) {
    throw FileError("Cannot write " + std::string(path) + ": the file is in use");
  }
  try {
    ReplaceFile(resolved->host, content);
  } catch (const AtomicFileError& error) {
    throw FileError("Cannot write " + std::string(path) + ": " + std::strerror(error.Code()));
  }
}

}  // namespace nimbra::platform
