#include "platform/ipc/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

namespace nimbra::platform {

namespace {

// Two bytes of the block's file carry open-file-description locks (they sit
// past the data and need not exist): byte kGuard serialises opening and
// closing, byte kUsers is held shared by every open object for its lifetime.
// The kernel drops the locks of a process that dies, so "nobody holds kUsers"
// means "no live user", the condition under which Windows frees a mapping.
constexpr off_t kGuard = 0x7fff0000;
constexpr off_t kUsers = kGuard + 1;

bool Lock(int fd, off_t byte, short type, bool wait) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  while (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

std::uint32_t WindowsError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return 5;  // ERROR_ACCESS_DENIED
    case ENOMEM:
      return 8;  // ERROR_NOT_ENOUGH_MEMORY
    case ENOSPC:
    case EFBIG:
      return 1450;  // ERROR_NO_SYSTEM_RESOURCES
    case EMFILE:
    case ENFILE:
      return 4;  // ERROR_TOO_MANY_OPEN_FILES
    case ENAMETOOLONG:
      return 206;  // ERROR_FILENAME_EXCED_RANGE
    case EINVAL:
      return 87;  // ERROR_INVALID_PARAMETER
    default:
      return 31;  // ERROR_GEN_FAILURE
  }
}

[[noreturn]] void Fail(SharedMemoryError::Stage stage, int error, const std::string& what) {
  throw SharedMemoryError(stage, WindowsError(error), what + ": " + std::strerror(error));
}

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::string Hex64(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace

std::string SharedMemory::PosixName(const std::filesystem::path& machineRoot,
                                    const std::string& name) {
  std::error_code ec;
  std::filesystem::path root = std::filesystem::weakly_canonical(machineRoot, ec);
  if (ec) root = std::filesystem::absolute(machineRoot);
  std::string encoded;
  for (unsigned char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '_' || c == '-';
    if (plain) {
      encoded += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      encoded += escape;
    }
  }
  if (encoded.size() > 200) encoded = "h" + Hex64(Fnv1a(name));
  return "/nimbra-" + Hex64(Fnv1a(root.string())) + "-" + encoded;
}

SharedMemory::SharedMemory(const std::filesystem::path& machineRoot, const std::string& name,
                           std::size_t size)
    : posixName_(PosixName(machineRoot, name)) {
  using Stage = SharedMemoryError::Stage;
  if (size == 0) throw SharedMemoryError(Stage::Create, 87, "shared memory of size 0: " + name);
  for (;;) {
    int fd = shm_open(posixName_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) Fail(Stage::Create, errno, "shm_open " + posixName_);
    if (!Lock(fd, kGuard, F_WRLCK, true)) {
      int error = errno;
      ::close(fd);
      Fail(Stage::Create, error, "lock " + posixName_);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
      int error = errno;
      ::close(fd);
      Fail(Stage::Create, error, "fstat " + posixName_);
    }
    if (st.st_nlink == 0) {
      // The last user removed the name between our open and our lock.
      ::close(fd);
      continue;
    }
    fd_ = fd;
    break;
  }
  // Without another live user the block is new (or orphaned): start from zeros.
  if (Lock(fd_, kUsers, F_WRLCK, false)) {
    if (ftruncate(fd_, 0) != 0 || ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      int error = errno;
      shm_unlink(posixName_.c_str());
      ::close(fd_);
      fd_ = -1;
      Fail(Stage::Create, error, "ftruncate " + posixName_);
    }
    size_ = size;
    existed_ = false;
  } else {
    struct stat st {};
    fstat(fd_, &st);
    size_ = static_cast<std::size_t>(st.st_size);
    existed_ = true;
  }
  Lock(fd_, kUsers, F_RDLCK, true);  // converts our exclusive hold, or joins the others
  void* data = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (data == MAP_FAILED) {
    int error = errno;
    Close();
    Fail(Stage::Map, error, "mmap " + posixName_);
  }
  data_ = static_cast<std::uint8_t*>(data);
  Lock(fd_, kGuard, F_UNLCK, false);
}

SharedMemory::~SharedMemory() {
  Close();
}

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : posixName_(std::move(other.posixName_)),
      fd_(std::exchange(other.fd_, -1)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      existed_(other.existed_) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
  if (this != &other) {
    Close();
    posixName_ = std::move(other.posixName_);
    fd_ = std::exchange(other.fd_, -1);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    existed_ = other.existed_;
  }
  return *this;
}

void SharedMemory::Close() noexcept {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  if (fd_ < 0) return;
  Lock(fd_, kGuard, F_WRLCK, true);
  Lock(fd_, kUsers, F_UNLCK, false);
  if (Lock(fd_, kUsers, F_WRLCK, false)) shm_unlink(posixName_.c_str());
  ::close(fd_);  // releases both locks
  fd_ = -1;
}

}  // namespace nimbra::platform
