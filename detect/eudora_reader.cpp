#include "detect/file_readers.h"
#include "platform/profile/profile_text.h"

namespace nimbra::detect {

namespace {

// The reader's marker for a missing value.
constexpr std::string_view kError = "ERROR";

// The text after the first at sign; the whole text when it has none.
std::string AfterAt(const std::string& account) {
  const auto at = account.find('@');
  return at == std::string::npos ? account : account.substr(at + 1);
}

// One settings section ("Settings" or a personality's) read into a record:
// the incoming server is IMAP or POP3, and the other one is cleared (a
// refreshed account that changed protocol keeps no stale server).
void ReadSection(const platform::ProfileText& ini, const std::string& section,
                 DetectedAccount& account) {
  account.name = ini.ReadString(section, "RealName", "No Name");
  account.address = ini.ReadString(section, "ReturnAddress", "");
  const std::string popAccount = ini.ReadString(section, "POPAccount", kError);
  if (account.address.empty()) account.address = popAccount;
  account.smtpServer = ini.ReadString(section, "SMTPServer", kError);
  std::string incoming;
  if (ini.ReadBool(section, "UsesIMAP", false)) {
    incoming = ini.ReadString(section, "IMAPServer", "");
    if (incoming.empty()) incoming = AfterAt(ini.ReadString(section, "IMAPAccount", kError));
    account.imapServer = incoming;
    account.pop3Server.clear();
  } else {
    incoming = ini.ReadString(section, "POPServer", "");
    if (incoming.empty()) incoming = AfterAt(popAccount);
    account.pop3Server = incoming;
    account.imapServer.clear();
  }
  if (account.smtpServer == kError) account.smtpServer = incoming;
}

DetectedAccount Fresh(const std::string& path, std::uint8_t type) {
  DetectedAccount account;
  account.location = path;
  account.software = "Eudora";
  account.clientType = type;
  return account;
}

// The personality sections listed under "Persona0", "Persona1", ... up to the
// first missing key.
std::vector<std::string> Personalities(const platform::ProfileText& ini) {
  std::vector<std::string> sections;
  for (int k = 0; ini.ValueExists("Personalities", "Persona" + std::to_string(k)); ++k) {
    sections.push_back(ini.ReadString("Personalities", "Persona" + std::to_string(k), ""));
  }
  return sections;
}

}  // namespace

void ReadEudoraFile(DetectContext& context, const std::string& path,
                    std::vector<DetectedAccount>& found) {
  const platform::ProfileText ini(context.machine.ReadFile(path));
  DetectedAccount main = Fresh(path, client::kEudora);
  ReadSection(ini, "Settings", main);
  if (!(main.address == kError)) found.push_back(std::move(main));
  for (const std::string& section : Personalities(ini)) {
    DetectedAccount persona = Fresh(path, client::kEudoraPersonality);
    persona.persona = section;
    ReadSection(ini, section, persona);
    if (!(persona.address == kError)) found.push_back(std::move(persona));
  }
}

void RefreshEudora(DetectContext& context, DetectedAccount& account) {
  if (!context.machine.FileExists(account.location)) return;
  const platform::ProfileText ini(context.machine.ReadFile(account.location));
  if (account.clientType == client::kEudora) {
    ReadSection(ini, "Settings", account);
    return;
  }
  for (const std::string& section : Personalities(ini)) {
    if (section == account.persona.str()) {
      ReadSection(ini, section, account);
      return;
    }
  }
}

}  // namespace nimbra::detect
