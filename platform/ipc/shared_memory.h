#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "platform/machine_error.h"

namespace nimbra::platform {

// Raised when a named block cannot be created or mapped. Code() is the
// Windows error number that matches the system's failure (5 access denied,
// 8 not enough memory, 87 invalid parameter, ...).
class SharedMemoryError : public PlatformError {
 public:
  enum class Stage { Create, Map };
  SharedMemoryError(Stage stage, std::uint32_t code, const std::string& message)
      : PlatformError(message), stage_(stage), code_(code) {}
  Stage WhichStage() const { return stage_; }
  std::uint32_t Code() const { return code_; }

 private:
  Stage stage_;
  std::uint32_t code_;
};

// A named block of shared memory, the emulation of a named file mapping
// backed by the paging file. It is real POSIX shared memory named after the
// machine root and the Windows name, so two machines never share a block and
// two processes (or two objects) on the same machine do.
//
// Lifetime follows Windows: the block exists while at least one object of
// any process has it open; the creator finds it zero-filled; a later opener
// sees the same bytes and Existed() (ERROR_ALREADY_EXISTS). Closing the last
// object removes the name. A block whose users all died without closing is
// treated as gone: the next opener gets a fresh zero-filled block.
// Names are case-sensitive, as Windows kernel object names are. An opener
// of an existing block gets the creator's size, whatever size it asked for.
class SharedMemory {
 public:
  SharedMemory(const std::filesystem::path& machineRoot, const std::string& name, std::size_t size);
  ~SharedMemory();
  SharedMemory(SharedMemory&& other) noexcept;
  SharedMemory& operator=(SharedMemory&& other) noexcept;
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  bool Existed() const { return existed_; }
  std::size_t Size() const { return size_; }
  std::span<std::uint8_t> Bytes() { return {data_, size_}; }
  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }

  // The POSIX name: "/nimbra-" + 16 hex digits of a hash of the canonical
  // machine root + "-" + the Windows name with characters other than letters,
  // digits, '.', '_' and '-' written as "%XX" (long names are hashed).
  static std::string PosixName(const std::filesystem::path& machineRoot, const std::string& name);

 private:
  void Close() noexcept;

  std::string posixName_;
  int fd_ = -1;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool existed_ = false;
};

}  // namespace nimbra::platform
