#include "keys/logon_session.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "keys/clock.h"
#include "keys/keys_error.h"
#include "platform/ipc/shared_memory.h"

namespace nimbra::keys {

namespace {

constexpr std::size_t kNameAt = 0;
constexpr std::size_t kPasswordAt = 81;
constexpr std::size_t kTimeAt = 164;
constexpr std::size_t kTextMax = 80;

std::string_view ReadShort(std::span<const std::uint8_t> bytes, std::size_t at) {
  const std::size_t length = std::min<std::size_t>(bytes[at], kTextMax);
  return {reinterpret_cast<const char*>(bytes.data() + at + 1), length};
}

void WriteShort(std::span<std::uint8_t> bytes, std::size_t at, std::string_view text) {
  const std::size_t length = std::min(text.size(), kTextMax);
  std::fill_n(bytes.data() + at, kTextMax + 1, std::uint8_t{0});
  bytes[at] = static_cast<std::uint8_t>(length);
  if (length) std::memcpy(bytes.data() + at + 1, text.data(), length);
}

}  // namespace

LogonSession::LogonSession(const std::filesystem::path& machineRoot) {
  try {
    memory_ = std::make_unique<platform::SharedMemory>(machineRoot, kName, kSize);
  } catch (const platform::SharedMemoryError& error) {
    const char* what = error.WhichStage() == platform::SharedMemoryError::Stage::Create
                           ? "Unable to create file mapping, Error: "
                           : "Unable to map view of file, Error: ";
    throw ESessionError(what + std::to_string(error.Code()));
  }
  if (memory_->Size() < kSize) throw ESessionError("Unable to map view of file, Error: 8");
}

LogonSession::~LogonSession() = default;

LogonRecord LogonSession::Read() const {
  const auto bytes = std::as_const(*memory_).Bytes();
  LogonRecord record;
  record.userName = std::string(ReadShort(bytes, kNameAt));
  record.password = SecretBuffer(ReadShort(bytes, kPasswordAt));
  double time = 0;
  std::memcpy(&time, bytes.data() + kTimeAt, sizeof time);
  if (time != 0) record.logonTime = FromDelphiDateTime(time);
  return record;
}

void LogonSession::Write(const LogonRecord& record) {
  const auto bytes = memory_->Bytes();
  WriteShort(bytes, kNameAt, record.userName);
  WriteShort(bytes, kPasswordAt, record.password.Text());
  const double time = record.logonTime ? ToDelphiDateTime(*record.logonTime) : 0.0;
  std::memcpy(bytes.data() + kTimeAt, &time, sizeof time);
}

void LogonSession::Clear() {
  Write(LogonRecord{});
}

}  // namespace nimbra::keys
