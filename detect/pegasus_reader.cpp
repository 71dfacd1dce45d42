#include "detect/file_readers.h"
#include "detect/registry_values.h"
#include "platform/profile/profile_text.h"

namespace nimbra::detect {

namespace {

constexpr const char* kTcpIp = "pegasus Mail for Windows - built-in TCP/IP Mail";

// `found` tells a file found on disk (with the user-name fallback and the
// port) from the file of the registry's base folder.
void ReadPMail(const platform::ProfileText& ini, bool found, DetectedAccount& account) {
  account.clientType = client::kPegasus;
  account.name = ini.ReadString("General", "Personal name", "No Name");
  if (found && account.name.empty()) {
    account.name = ini.ReadString("Pegasus Mail for Windows - Run Info", "Internal username", "");
  }
  account.software =
      (found ? "Pegasus Mail Client (" : "Pegasus Mail Client + (") + account.name + ")";
  account.address = ini.ReadString(kTcpIp, "Alternative From: field for message", "");
  account.pop3Server = ini.ReadString(kTcpIp, "Host where POP3 mail account is located", "ERROR");
  if (found) account.pop3Port = ini.ReadString(kTcpIp, "TCP/IP server port", "");
  account.smtpServer = ini.ReadString(kTcpIp, "SMTP relay host for outgoing mail", "ERROR");
}

}  // namespace

void ReadPegasusFile(DetectContext& context, const std::string& path,
                     std::vector<DetectedAccount>& found) {
  DetectedAccount account;
  account.location = path;
  ReadPMail(platform::ProfileText(context.machine.ReadFile(path)), true, account);
  found.push_back(std::move(account));
}

void ReadPegasusBaseFolder(DetectContext& context, std::vector<DetectedAccount>& found) {
  const auto key = OpenUserKey(context.machine, "Software\\Pegasus Mail\\BaseDir");
  if (!key) return;
  const std::string path = ReadStringValue(*key, "") + "\\PMAIL.INI";
  if (!context.machine.FileExists(path)) return;
  DetectedAccount account;
  account.location = path;
  ReadPMail(platform::ProfileText(context.machine.ReadFile(path)), false, account);
  found.push_back(std::move(account));
}

void RefreshPegasus(DetectContext& context, DetectedAccount& account) {
  if (!context.machine.FileExists(account.location)) return;
  ReadPMail(platform::ProfileText(context.machine.ReadFile(account.location)), true, account);
}

}  // namespace nimbra::detect
