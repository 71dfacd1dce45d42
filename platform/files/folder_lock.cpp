#include "platform/files/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace nimbra::platform {

FolderLock::FolderLock(const std::filesystem::path& folder, Mode mode)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (fd_ < 0) return;
  const int operation = mode == Mode::kShared ? LOCK_SH : LOCK_EX;
  while (::flock(fd_, operation) != 0 && errno == EINTR) {
  }
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace nimbra::platform
