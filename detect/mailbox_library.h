#pragma once

// The mailbox library of Calypso and Email 2000 ("MailDB32.dll", also
// "Calyxx.dll"), as a stand-in of the platform's library loader. Its four
// exports work on the mailbox files of detect/mailbox_file.h.
//
// The library is a 32-bit one: the text fields of its account record are
// 32-bit addresses. In this 64-bit process they are not host pointers but
// addresses into the texts an open mailbox handle owns; Text and SetText
// resolve them as a 32-bit caller would read and write through them. The
// texts live until the handle is closed.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "detect/mailbox_file.h"
#include "platform/machine.h"
#include "platform/processes/library.h"

namespace nimbra::detect {

// Results of the exports.
inline constexpr std::uint16_t kMailboxOk = 0;
inline constexpr std::uint16_t kMailboxMissing = 1;  // no such file, or unreadable
inline constexpr std::uint16_t kMailboxBadPassword = 3;
inline constexpr std::uint16_t kMailboxLocked = 4;   // held open by another holder
inline constexpr std::uint16_t kMailboxDamaged = 5;  // not a mailbox file
inline constexpr std::uint16_t kMailboxBadHandle = 6;
inline constexpr std::uint16_t kMailboxNoAccount = 7;  // enumeration ended, or a bad index
inline constexpr std::uint16_t kMailboxBadRecord = 8;  // an address of no text of the handle
inline constexpr std::uint16_t kMailboxWriteFailed = 9;

inline constexpr std::size_t kMailboxRecordSize = 1000;
// Offsets of the account record's 32-bit little-endian fields.
namespace record {
inline constexpr std::size_t kName = 0;
inline constexpr std::size_t kAddress = 4;
inline constexpr std::size_t kReply = 8;
inline constexpr std::size_t kPop3Server = 16;
inline constexpr std::size_t kSmtpServer = 28;
inline constexpr std::size_t kSmtpPort = 36;
inline constexpr std::size_t kPop3Port = 40;
}  // namespace record

std::uint32_t RecordField(const std::uint8_t* record, std::size_t offset);
void SetRecordField(std::uint8_t* record, std::size_t offset, std::uint32_t value);

// The exports' signatures (stdcall in the 32-bit original).
using CalyXXOpenFn = std::uint16_t(const char* path, const char* password, std::uint32_t* handle);
using CalyXXAcctEnumFn = std::uint16_t(std::uint32_t handle, std::uint32_t* index,
                                       std::uint8_t* record);
using CalyXXAcctWriteFn = std::uint16_t(std::uint32_t handle, std::uint32_t index,
                                        const std::uint8_t* record);
using CalyXXCloseFn = std::uint16_t(std::uint32_t handle);

class MailboxLibrary : public platform::LibraryStandIn {
 public:
  explicit MailboxLibrary(platform::Machine& machine);
  ~MailboxLibrary() override;

  // The text behind a 32-bit address of an open handle; nullopt when the
  // address is none of the handle's.
  std::optional<std::string> Text(std::uint32_t handle, std::uint32_t address) const;
  bool SetText(std::uint32_t handle, std::uint32_t address, std::string text);

 private:
  struct Open;

  std::uint16_t OpenMailbox(const char* path, const char* password, std::uint32_t* handle);
  std::uint16_t Enumerate(std::uint32_t handle, std::uint32_t* index, std::uint8_t* record);
  std::uint16_t WriteAccount(std::uint32_t handle, std::uint32_t index, const std::uint8_t* record);
  std::uint16_t Close(std::uint32_t handle);
  std::uint32_t AddText(Open& open, std::string text);

  platform::Machine& machine_;
  std::map<std::uint32_t, Open> open_;
  std::uint32_t nextHandle_ = 1;
  std::uint32_t nextAddress_;
};

// Binds the stand-in to both file names of the library.
void RegisterMailboxLibrary(platform::LibraryLoader& loader, platform::Machine& machine);

}  // namespace nimbra::detect
