#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/datetime.h"
#include "core/secret_buffer.h"

namespace nimbra::platform {
class SharedMemory;
}

namespace nimbra::keys {

// The user record of a logon: name and password (each up to 80 characters;
// after a logon the password is its 40-digit hash) and the logon time
// (nullopt when there is no session).
struct LogonRecord {
  std::string userName;
  SecretBuffer password;
  std::optional<DateTime> logonTime;
};

// The logon session shared by the product's programs on one machine: the
// named shared memory block "xpslg" of 172 bytes.
//   0..80     user name: a length byte and up to 80 characters
//   81..161   password (after logon the 40-digit SHA-1 text), the same way
//   162..163  reserved
//   164..171  logon time, an 8-byte floating-point date-time (0: none)
// The block is read and written without a lock.
class LogonSession {
 public:
  static constexpr std::size_t kSize = 172;
  static constexpr const char* kName = "xpslg";

  // Opens (or creates, zero-filled) the block of the machine. ESessionError
  // "Unable to create file mapping, Error: " or "Unable to map view of file,
  // Error: " + the system error number when that fails.
  explicit LogonSession(const std::filesystem::path& machineRoot);
  ~LogonSession();
  LogonSession(const LogonSession&) = delete;
  LogonSession& operator=(const LogonSession&) = delete;

  LogonRecord Read() const;
  void Write(const LogonRecord& record);
  void Clear();

 private:
  std::unique_ptr<platform::SharedMemory> memory_;
};

}  // namespace nimbra::keys
