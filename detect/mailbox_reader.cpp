#include "detect/mailbox_reader.h"

#include <array>

#include "detect/client_writers.h"
#include "detect/mailbox_install.h"
#include "detect/mailbox_library.h"
#include "keys/product_location.h"
#include "platform/files/path.h"
#include "platform/registry/registry.h"
#include "ui/questions.h"

namespace nimbra::detect {

namespace {

constexpr const char* kCalypsoLabel = "MCS Dallas Calypso ";
constexpr const char* kEmail2000Label = "Halvern Technology EMail 2000";
constexpr const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
// The password the mail programs' own mailboxes answer with "wrong password"
// (3) when they are protected by a password of the user's.
constexpr const char* kProbePassword = "NILPAS3wkqHZ";

// The folder of the mail program, from its App Paths entry; empty when none.
std::string ProgramFolder(platform::Machine& machine, const char* program) {
  try {
    const auto key = machine.Reg().OpenKey(platform::RootKey::LocalMachine,
                                           std::string(kAppPaths) + program, false);
    if (!key || !key->ValueExists("")) return "";
    return platform::ExtractFileDir(key->ReadString(""));
  } catch (const std::exception&) {
    return "";
  }
}

// The loaded library with its four exports; unloaded on destruction.
class Library {
 public:
  explicit Library(platform::LibraryLoader& loader) : loader_(loader) {}
  ~Library() { Unload(); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool Load(const std::string& name) {
    Unload();
    module_ = loader_.LoadLibrary(name);
    return module_ != 0;
  }
  bool HasOpen() { return bool(loader_.GetProc<CalyXXOpenFn>(module_, "CalyXXOpen")); }
  bool Bind() {
    open = loader_.GetProc<CalyXXOpenFn>(module_, "CalyXXOpen");
    enumerate = loader_.GetProc<CalyXXAcctEnumFn>(module_, "CalyXXAcctEnum");
    write = loader_.GetProc<CalyXXAcctWriteFn>(module_, "CalyXXAcctWrite");
    close = loader_.GetProc<CalyXXCloseFn>(module_, "CalyXXClose");
    return open && enumerate && write && close;
  }
  bool Loaded() const { return module_ != 0; }
  // The stand-in behind the module, which resolves the record's addresses.
  MailboxLibrary* Texts() { return loader_.StandInAs<MailboxLibrary>(module_); }

  std::function<CalyXXOpenFn> open;
  std::function<CalyXXAcctEnumFn> enumerate;
  std::function<CalyXXAcctWriteFn> write;
  std::function<CalyXXCloseFn> close;

 private:
  void Unload() {
    if (module_ != 0) loader_.FreeLibrary(module_);
    module_ = 0;
  }

  platform::LibraryLoader& loader_;
  platform::ModuleHandle module_ = 0;
};

// Loads the mail program's library of a mailbox with its four exports:
// from the program's App Paths folder, for Calypso "Calyxx.dll" when that
// fails (Calypso without a program folder has none). False when it is
// missing or lacks an export.
bool LoadMailboxLibrary(platform::Machine& machine, bool email2000, Library& library) {
  const std::string folder = ProgramFolder(machine, email2000 ? "Email2000.exe" : "Calypso.exe");
  if (!email2000 && folder.empty()) return false;
  const bool loaded = library.Load(folder + "\\MailDB32.dll");
  if (!email2000 && (!loaded || !library.HasOpen())) library.Load("Calyxx.dll");
  return library.Loaded() && library.Bind();
}

// The product message box, with the product's caption.
void ProductMessage(DetectContext& context, const std::string& text) {
  std::string caption = "MESSAGE:";
  try {
    caption = keys::ProductCaption(context.machine,
                                   keys::ProductIniPath(context.machine, context.setupDir));
  } catch (const std::exception&) {
  }
  context.ui.Message(caption, text);
}

}  // namespace

std::vector<DetectedAccount> LibraryMailboxReader::ReadAccounts(const std::string& path) {
  std::vector<DetectedAccount> accounts;
  platform::Machine& machine = context_.machine;
  const std::string name = platform::ExtractFileName(path);
  const bool email2000 = IsEmail2000Mailbox(name);
  const char* label = email2000 ? kEmail2000Label : kCalypsoLabel;

  Library library(libraries_);
  if (!LoadMailboxLibrary(machine, email2000, library)) return accounts;

  const std::string mailbox = name.size() >= 4 ? name.substr(0, name.size() - 4) : "";
  std::uint32_t handle = 0;
  if (library.open(path.c_str(), kProbePassword, &handle) != 3) {
    if (handle != 0) library.close(handle);
    return accounts;
  }
  const ui::Question question{std::string(ui::q::MailboxPassword),
                              std::string(label) + " MailBox : " + mailbox,
                              "Enter Password for " + std::string(label) + " MailBox "};
  std::string password;
  for (;;) {
    const auto entered = context_.ui.Input(question, password);
    if (!entered) return accounts;
    password = *entered;
    handle = 0;
    const std::uint16_t result = library.open(path.c_str(), password.c_str(), &handle);
    if (result == 0) break;
    if (result == 2 || result == 3) {
      ProductMessage(context_,
                     "The " + std::string(label) + " Password for " + mailbox + " was incorrect");
    } else {
      ProductMessage(context_, "The " + std::string(label) + " MailBox " + mailbox +
                                   " can not be openned. Make sure Calypso is not running");
    }
  }

  // The record's text fields are 32-bit addresses of the library's texts.
  MailboxLibrary* texts = library.Texts();
  std::array<std::uint8_t, kMailboxRecordSize> record{};
  std::uint32_t index = 0;
  for (std::int32_t position = 0; texts && library.enumerate(handle, &index, record.data()) == 0;
       ++position) {
    const auto text = [&](std::size_t offset) {
      return texts->Text(handle, RecordField(record.data(), offset)).value_or("");
    };
    DetectedAccount account;
    account.clientType = client::kMailbox;
    account.software = label;
    account.location = path;
    account.name = text(record::kName);
    account.address = text(record::kReply);
    if (account.address.empty()) account.address = text(record::kAddress);
    account.pop3Server = text(record::kPop3Server);
    account.smtpServer = text(record::kSmtpServer);
    const std::uint32_t smtpPort = RecordField(record.data(), record::kSmtpPort);
    const std::uint32_t pop3Port = RecordField(record.data(), record::kPop3Port);
    if (smtpPort != 25) account.smtpPort = std::to_string(smtpPort);
    if (pop3Port != 110) account.pop3Port = std::to_string(pop3Port);
    account.subClient = position;
    account.persona = password;
    accounts.push_back(account);
  }
  library.close(handle);
  return accounts;
}

void LibraryMailboxReader::ReadMailbox(const std::string& path,
                                       std::vector<DetectedAccount>& found) {
  for (DetectedAccount& account : ReadAccounts(path)) found.push_back(std::move(account));
}

void LibraryMailboxReader::Refresh(DetectedAccount& account) {
  for (const DetectedAccount& read : ReadAccounts(account.location.str())) {
    if (read.subClient != account.subClient) continue;
    account.software = read.software;
    account.name = read.name;
    account.address = read.address;
    account.pop3Server = read.pop3Server;
    account.pop3Port = read.pop3Port;
    account.smtpServer = read.smtpServer;
    account.smtpPort = read.smtpPort;
    account.persona = read.persona;
    return;
  }
}

bool LibraryMailboxReader::Protect(const DetectedAccount& account) {
  const std::string path = account.location;
  Library library(libraries_);
  if (!LoadMailboxLibrary(context_.machine, IsEmail2000Mailbox(path), library)) return false;
  std::uint32_t handle = 0;
  if (library.open(path.c_str(), account.persona.str().c_str(), &handle) != 0) return false;
  MailboxLibrary* texts = library.Texts();
  std::array<std::uint8_t, kMailboxRecordSize> record{};
  std::uint32_t index = 0;
  bool delivered = texts != nullptr && account.subClient >= 0;
  for (std::int32_t i = 0; delivered && i <= account.subClient; ++i) {
    delivered = library.enumerate(handle, &index, record.data()) == 0;
  }
  // The server texts are the library's: they are replaced through it. A
  // mapping with a port sets the account's port too.
  const auto point = [&](const std::string& mapping, std::size_t serverField,
                         std::size_t portField) {
    if (mapping.empty()) return true;
    FixedText<80> host = mapping;
    FixedText<80> port;
    SplitHostPort(host, port);
    if (const auto number = PortNumber(port.str())) {
      SetRecordField(record.data(), portField, static_cast<std::uint32_t>(*number));
    }
    return texts->SetText(handle, RecordField(record.data(), serverField), host.str());
  };
  const bool written = delivered &&
                       point(account.pop3Mapping, record::kPop3Server, record::kPop3Port) &&
                       point(account.smtpMapping, record::kSmtpServer, record::kSmtpPort) &&
                       library.write(handle, index, record.data()) == 0;
  library.close(handle);
  return written;
}

}  // namespace nimbra::detect
