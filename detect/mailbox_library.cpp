#include "detect/mailbox_library.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/atomic_file.h"

namespace nimbra::detect {

namespace {

// Where text addresses start: above the first 4 MB, 16-byte aligned, as a
// 32-bit heap hands them out.
constexpr std::uint32_t kFirstAddress = 0x00410000;
constexpr std::uint32_t kAddressStep = 16;

}  // namespace

std::uint32_t RecordField(const std::uint8_t* record, std::size_t offset) {
  return static_cast<std::uint32_t>(record[offset]) |
         static_cast<std::uint32_t>(record[offset + 1]) << 8 |
         static_cast<std::uint32_t>(record[offset + 2]) << 16 |
         static_cast<std::uint32_t>(record[offset + 3]) << 24;
}

void SetRecordField(std::uint8_t* record, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One open mailbox: its file, the lock on its folder, what it holds and the
// texts handed out through account records.
struct MailboxLibrary::Open {
  std::filesystem::path file;
  int lockFd = -1;
  MailboxContents contents;
  std::map<std::uint32_t, std::string> texts;
};

MailboxLibrary::MailboxLibrary(platform::Machine& machine)
    : machine_(machine), nextAddress_(kFirstAddress) {
  Export("CalyXXOpen", [this](const char* path, const char* password, std::uint32_t* handle) {
    return OpenMailbox(path, password, handle);
  });
  Export("CalyXXAcctEnum",
         [this](std::uint32_t handle, std::uint32_t* index, std::uint8_t* record) {
           return Enumerate(handle, index, record);
         });
  Export("CalyXXAcctWrite",
         [this](std::uint32_t handle, std::uint32_t index, const std::uint8_t* record) {
           return WriteAccount(handle, index, record);
         });
  Export("CalyXXClose", [this](std::uint32_t handle) { return Close(handle); });
}

MailboxLibrary::~MailboxLibrary() {
  for (auto& [handle, open] : open_) ::close(open.lockFd);
}

// The password is checked first, so that a wrong one is told as such also
// while the mailbox is locked. The lock is an exclusive flock on the
// mailbox's folder, taken without waiting: a second holder, in this process
// or another, gets kMailboxLocked.
std::uint16_t MailboxLibrary::OpenMailbox(const char* path, const char* password,
                                          std::uint32_t* handle) {
  if (path == nullptr || password == nullptr || handle == nullptr) return kMailboxMissing;
  const auto file = machine_.HostPath(machine_.FullPath(path));
  if (!file || !std::filesystem::is_regular_file(*file)) return kMailboxMissing;
  Open open;
  open.file = *file;
  try {
    const auto bytes = platform::ReadFileIfExists(*file);
    if (!bytes) return kMailboxMissing;
    open.contents = ParseMailboxFile(*bytes);
  } catch (const EMailboxFile&) {
    return kMailboxDamaged;
  } catch (const std::exception&) {
    return kMailboxMissing;
  }
  if (!PasswordMatches(open.contents, password)) return kMailboxBadPassword;
  open.lockFd = ::open(file->parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (open.lockFd < 0) return kMailboxMissing;
  if (::flock(open.lockFd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(open.lockFd);
    return error == EWOULDBLOCK ? kMailboxLocked : kMailboxMissing;
  }
  *handle = nextHandle_++;
  open_.emplace(*handle, std::move(open));
  return kMailboxOk;
}

std::uint32_t MailboxLibrary::AddText(Open& open, std::string text) {
  const std::uint32_t address = nextAddress_;
  nextAddress_ += kAddressStep;
  if (nextAddress_ < kFirstAddress) nextAddress_ = kFirstAddress;  // wrapped past 4 GB
  open.texts[address] = std::move(text);
  return address;
}

// Delivers the account at *index and moves *index past it. The texts of each
// delivery are new; record bytes other than the fields are zero.
std::uint16_t MailboxLibrary::Enumerate(std::uint32_t handle, std::uint32_t* index,
                                        std::uint8_t* record) {
  const auto found = open_.find(handle);
  if (found == open_.end()) return kMailboxBadHandle;
  if (index == nullptr || record == nullptr) return kMailboxNoAccount;
  Open& open = found->second;
  if (*index >= open.contents.accounts.size()) return kMailboxNoAccount;
  const MailboxAccount& account = open.contents.accounts[*index];
  std::memset(record, 0, kMailboxRecordSize);
  SetRecordField(record, record::kName, AddText(open, account.name));
  SetRecordField(record, record::kAddress, AddText(open, account.address));
  SetRecordField(record, record::kReply, AddText(open, account.reply));
  SetRecordField(record, record::kPop3Server, AddText(open, account.pop3Server));
  SetRecordField(record, record::kSmtpServer, AddText(open, account.smtpServer));
  SetRecordField(record, record::kSmtpPort, account.smtpPort);
  SetRecordField(record, record::kPop3Port, account.pop3Port);
  ++*index;
  return kMailboxOk;
}

// Writes the account last delivered by the enumeration that now stands at
// index (index - 1), from the texts behind the record's addresses and its
// ports, and saves the mailbox file.
std::uint16_t MailboxLibrary::WriteAccount(std::uint32_t handle, std::uint32_t index,
                                           const std::uint8_t* record) {
  const auto found = open_.find(handle);
  if (found == open_.end()) return kMailboxBadHandle;
  Open& open = found->second;
  if (record == nullptr || index == 0 || index > open.contents.accounts.size())
    return kMailboxNoAccount;
  const auto text = [&](std::size_t offset) { return Text(handle, RecordField(record, offset)); };
  const auto name = text(record::kName), address = text(record::kAddress),
             reply = text(record::kReply), pop3 = text(record::kPop3Server),
             smtp = text(record::kSmtpServer);
  const std::uint32_t smtpPort = RecordField(record, record::kSmtpPort);
  const std::uint32_t pop3Port = RecordField(record, record::kPop3Port);
  if (!name || !address || !reply || !pop3 || !smtp || smtpPort > 65535 || pop3Port > 65535)
    return kMailboxBadRecord;
  MailboxContents changed = open.contents;
  changed.accounts[index - 1] = {*name, *address, *reply, *pop3, pop3Port, *smtp, smtpPort};
  try {
    platform::ReplaceFile(open.file, FormatMailboxFile(changed));
  } catch (const std::exception&) {
    return kMailboxWriteFailed;
  }
  open.contents = std::move(changed);
  return kMailboxOk;
}

std::uint16_t MailboxLibrary::Close(std::uint32_t handle) {
  const auto found = open_.find(handle);
  if (found == open_.end()) return kMailboxBadHandle;
  ::close(found->second.lockFd);
  open_.erase(found);
  return kMailboxOk;
}

std::optional<std::string> MailboxLibrary::Text(std::uint32_t handle, std::uint32_t address) const {
  const auto open = open_.find(handle);
  if (open == open_.end()) return std::nullopt;
  const auto text = open->second.texts.find(address);
  if (text == open->second.texts.end()) return std::nullopt;
  return text->second;
}

bool MailboxLibrary::SetText(std::uint32_t handle, std::uint32_t address, std::string text) {
  const auto open = open_.find(handle);
  if (open == open_.end()) return false;
  const auto found = open->second.texts.find(address);
  if (found == open->second.texts.end() || text.find('\0') != std::string::npos) return false;
  found->second = std::move(text);
  return true;
}

void RegisterMailboxLibrary(platform::LibraryLoader& loader, platform::Machine& machine) {
  for (const char* name : {"MailDB32.dll", "Calyxx.dll"}) {
    loader.RegisterStandIn(name, [&machine](const platform::LoadedFile&) {
      return std::make_unique<MailboxLibrary>(machine);
    });
  }
}

}  // namespace nimbra::detect
