#include "platform/files/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/files/file_attributes_host.h"

namespace nimbra::platform {

namespace fs = std::filesystem;

namespace {

// ---- fault injection ----

std::mutex fault_mutex;
WriteFault pending_fault = WriteFault::kNone;
int fault_skip = 0;
std::atomic<long long> write_delay_ms{0};

WriteFault TakeFault() {
  std::lock_guard<std::mutex> lock(fault_mutex);
  if (pending_fault == WriteFault::kNone) return WriteFault::kNone;
  if (fault_skip > 0) {
    --fault_skip;
    return WriteFault::kNone;
  }
  const WriteFault fault = pending_fault;
  pending_fault = WriteFault::kNone;
  return fault;
}

// Takes `fault` when it is the one the replacement is still to meet.
bool Meets(WriteFault& pending, WriteFault fault) {
  if (pending != fault) return false;
  pending = WriteFault::kNone;
  return true;
}

void SlowStep() {
  const long long delay = write_delay_ms.load();
  if (delay > 0) ::usleep(static_cast<useconds_t>(delay * 1000));
}

// ---- descriptors ----

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

constexpr std::string_view kTempMark = ".~";
constexpr std::string_view kTempEnd = ".tmp";

std::string TempName(const std::string& name, pid_t pid, unsigned counter) {
  return name + std::string(kTempMark) + std::to_string(pid) + "." + std::to_string(counter) +
         std::string(kTempEnd);
}

// The writing process of a temporary file of `name`, or 0 when `entry` is
// not one ("<name>.~<pid>.<n>.tmp").
pid_t TempFileOwner(std::string_view entry, std::string_view name) {
  if (entry.size() <= name.size() + kTempMark.size() + kTempEnd.size() ||
      !entry.starts_with(name) || entry.substr(name.size(), kTempMark.size()) != kTempMark ||
      !entry.ends_with(kTempEnd)) {
    return 0;
  }
  std::string_view middle = entry.substr(name.size() + kTempMark.size());
  middle.remove_suffix(kTempEnd.size());
  const std::size_t dot = middle.find('.');
  if (dot == 0 || dot == std::string_view::npos || dot + 1 == middle.size()) return 0;
  for (std::size_t i = 0; i < middle.size(); ++i) {
    if (i != dot && (middle[i] < '0' || middle[i] > '9')) return 0;
  }
  return static_cast<pid_t>(std::strtol(std::string(middle.substr(0, dot)).c_str(), nullptr, 10));
}

bool ProcessGone(pid_t pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes what killed writers of the target left: temporary files of the
// target whose process is gone and whose lock nobody holds (a writer on
// another computer keeps its lock).
void RemoveLeftovers(const fs::path& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t owner = TempFileOwner(entry->d_name, name);
    if (owner <= 0 || owner == self || !ProcessGone(owner)) continue;
    const fs::path leftover = folder / entry->d_name;
    Fd fd(::open(leftover.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    ::unlink(leftover.c_str());
  }
  ::closedir(dir);
}

// A symbolic link is replaced through: the file it names is the target.
fs::path FinalTarget(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return path;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  if (ec) throw AtomicFileError(path, "resolve the link", ec.value());
  return resolved;
}

void SyncFolder(const fs::path& folder) {
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

}  // namespace

AtomicFileError::AtomicFileError(const fs::path& path, std::string step, int code)
    : PlatformError(path.string() + ": cannot " + step + " (" + std::strerror(code) + ")"),
      step_(std::move(step)),
      code_(code) {}

std::optional<std::string> ReadFileIfExists(const fs::path& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw AtomicFileError(path, "open", errno);
  }
  std::string data;
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0 && info.st_size > 0) {
    data.reserve(static_cast<std::size_t>(info.st_size));
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw AtomicFileError(path, "read", errno);
    }
    data.append(buffer, static_cast<std::size_t>(n));
  }
  return data;
}

void FileSink::Write(std::string_view data) {
  SlowStep();
  if (Meets(fault_, WriteFault::kWriteError)) throw AtomicFileError(target_, "write", EIO);
  const bool full = Meets(fault_, WriteFault::kDiskFull);
  if (full) data = data.substr(0, data.size() / 2);
  while (!data.empty()) {
    const ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw AtomicFileError(target_, "write", errno);
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  if (full) throw AtomicFileError(target_, "write", ENOSPC);
}

PreparedFile::PreparedFile(const fs::path& path, const std::function<void(FileSink&)>& fill,
                           const ReplaceOptions& options)
    : target_(FinalTarget(path)), fault_(TakeFault()) {
  fs::path folder = target_.parent_path();
  if (folder.empty()) folder = ".";
  const std::string name = target_.filename().string();
  RemoveLeftovers(folder, name);

  static std::atomic<unsigned> counter{0};
  int raw = -1;
  for (int attempt = 0; raw < 0; ++attempt) {
    temp_ = folder / TempName(name, ::getpid(), counter++);
    raw = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw < 0 && (errno != EEXIST || attempt > 100)) {
      const int error = errno;
      temp_.clear();
      throw AtomicFileError(target_, "create a temporary file", error);
    }
  }
  try {
    Fd fd(raw);
    // Held until the file is closed: a cleaner elsewhere leaves it alone.
    ::flock(fd.get(), LOCK_EX | LOCK_NB);

    const fs::path& model = options.like.empty() ? target_ : options.like;
    struct stat old {};
    if (::stat(model.c_str(), &old) == 0) {
      if (::fchmod(fd.get(), old.st_mode & 07777) != 0) {
        throw AtomicFileError(target_, "create a temporary file", errno);
      }
      CopyHostDosAttributes(model, temp_);
    }
    FileSink sink(fd.get(), target_, fault_);
    fill(sink);
    if (options.finish) options.finish(fd.get());
    SlowStep();
    if (Meets(fault_, WriteFault::kFlushError)) throw AtomicFileError(target_, "flush", EIO);
    if (::fsync(fd.get()) != 0) throw AtomicFileError(target_, "flush", errno);
    if (fd.Close() != 0) throw AtomicFileError(target_, "close", errno);
  } catch (...) {
    ::unlink(temp_.c_str());
    throw;
  }
}

PreparedFile::PreparedFile(const fs::path& target, std::string_view content,
                           const ReplaceOptions& options)
    : PreparedFile(
          target, [content](FileSink& sink) { sink.Write(content); }, options) {}

PreparedFile::~PreparedFile() {
  if (!installed_ && !keep_) ::unlink(temp_.c_str());
}

void PreparedFile::Install() {
  if (Meets(fault_, WriteFault::kKilled)) ::raise(SIGKILL);
  if (Meets(fault_, WriteFault::kRenameError)) throw AtomicFileError(target_, "replace", EACCES);
  InstallTempFile(temp_, target_);
  installed_ = true;
}

void InstallTempFile(const fs::path& temp, const fs::path& path) {
  const fs::path target = FinalTarget(path);
  SlowStep();
  if (::rename(temp.c_str(), target.c_str()) != 0) throw AtomicFileError(target, "replace", errno);
  const fs::path folder = target.parent_path();
  SyncFolder(folder.empty() ? fs::path(".") : folder);  // makes the rename itself durable
}

void RemoveStaleTempFiles(const fs::path& path) {
  const fs::path target = FinalTarget(path);
  const fs::path folder = target.parent_path();
  RemoveLeftovers(folder.empty() ? fs::path(".") : folder, target.filename().string());
}

void ReplaceFile(const fs::path& target, const std::function<void(FileSink&)>& fill,
                 const ReplaceOptions& options) {
  PreparedFile(target, fill, options).Install();
}

void ReplaceFile(const fs::path& target, std::string_view content, const ReplaceOptions& options) {
  PreparedFile(target, content, options).Install();
}

void InjectWriteFault(WriteFault fault, int skip) {
  std::lock_guard<std::mutex> lock(fault_mutex);
  pending_fault = fault;
  fault_skip = skip;
}

void InjectWriteDelay(std::chrono::milliseconds delay) {
  write_delay_ms = delay.count();
}

}  // namespace nimbra::platform
