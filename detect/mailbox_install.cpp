#include "detect/mailbox_install.h"

#include "core/strings.h"
#include "platform/files/path.h"
#include "platform/registry/registry.h"

namespace nimbra::detect {

bool IsEmail2000Mailbox(const std::string& path) {
  return path.size() >= 4 && UpperCase(std::string_view(path).substr(path.size() - 4)) == ".E2K";
}

void CreateMailbox(platform::Machine& machine, const std::string& path, const std::string& password,
                   std::vector<MailboxAccount> accounts) {
  const std::string bytes = FormatMailboxFile(NewMailbox(password, std::move(accounts)));
  machine.ForceDirectories(platform::ExtractFileDir(path));
  machine.WriteFile(path, bytes);
}

std::string InstallMailboxLibrary(platform::Machine& machine, const std::string& mailboxPath,
                                  const std::string& programDir) {
  const std::string program = IsEmail2000Mailbox(mailboxPath) ? "Email2000.exe" : "Calypso.exe";
  auto key = machine.Reg().OpenKey(
      platform::RootKey::LocalMachine,
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + program, true);
  if (!key->ValueExists("") || key->ReadString("").empty())
    key->WriteString("", platform::JoinWindowsPath(programDir, program));
  const std::string library =
      platform::JoinWindowsPath(platform::ExtractFileDir(key->ReadString("")), "MailDB32.dll");
  if (!machine.FileExists(library)) {
    machine.ForceDirectories(platform::ExtractFileDir(library));
    machine.WriteFile(library, "NimbraPost stand-in for the mailbox library MailDB32.dll\r\n");
  }
  return library;
}

}  // namespace nimbra::detect
