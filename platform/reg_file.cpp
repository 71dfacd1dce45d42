#include "platform/reg_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/registry.h"

namespace nimbra::platform::reg {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path, int error) {
  throw ERegistryException(what + " " + path.string() + ": " + std::strerror(error));
}

// Closes the descriptor and removes the temporary file unless released.
class TempFile {
 public:
  TempFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }
  void Keep() { path_.clear(); }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

std::optional<std::string> ReadFileIfExists(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    Fail("cannot open", path, errno);
  }
  std::string data;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) data.reserve(info.st_size);
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      Fail("cannot read", path, error);
    }
    data.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return data;
}

void ReplaceFile(const std::filesystem::path& path, std::string_view data) {
  std::filesystem::path target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(target, ec)) {
    target = std::filesystem::weakly_canonical(target, ec);
    if (ec) Fail("cannot resolve link", path, ec.value());
  }
  mode_t mode = 0644;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) mode = info.st_mode & 07777;

  std::string temp_name = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp_name.data());
  if (fd < 0) Fail("cannot create a temporary file for", target, errno);
  TempFile temp(fd, temp_name);
  if (::fchmod(fd, mode) != 0) Fail("cannot set the mode of", temp_name, errno);
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", temp_name, errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) Fail("cannot sync", temp_name, errno);
  if (temp.Close() != 0) Fail("cannot close", temp_name, errno);
  if (::rename(temp_name.c_str(), target.c_str()) != 0) Fail("cannot replace", target, errno);
  temp.Keep();
  // Make the rename itself durable.
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace nimbra::platform::reg
