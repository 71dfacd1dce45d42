#include <vector>

#include "detect/client_writers.h"
#include "detect/prefs_js.h"
#include "platform/profile/profile_file.h"

namespace nimbra::detect {

namespace {

// The settings file of an account for editing; nullopt when the file does
// not exist (the program is then left as it is).
std::optional<platform::ProfileFile> OpenSettings(DetectContext& context, const std::string& path) {
  if (!context.machine.FileExists(path)) return std::nullopt;
  const auto host = context.machine.HostPath(path);
  if (!host) return std::nullopt;
  return platform::ProfileFile(*host);
}

// The user part of an Eudora "POPAccount" (default "default@"): the text
// before its first at sign.
std::string EudoraUser(platform::ProfileFile& ini, const std::string& section) {
  const std::string popAccount = ini.ReadString(section, "POPAccount", "default@");
  return popAccount.substr(0, popAccount.find('@'));
}

constexpr const char* kPegasusTcpIp = "pegasus Mail for Windows - built-in TCP/IP Mail";

// One line of prefs.js as the protection writes it: the preference with a
// string value.
std::string PrefLine(std::string_view name, std::string_view value, bool semicolon = true) {
  return "user_pref(\"" + std::string(name) + "\", \"" + PrefsStringContent(value) + "\")" +
         (semicolon ? ";" : "");
}

// The rest of the text at most this long is kept after the new server of a
// per-server IMAP preference.
constexpr std::size_t kImapPrefRest = 100;

}  // namespace

void WriteCommunicator(DetectContext& context, const DetectedAccount& account) {
  const std::string path = account.location;
  if (!context.machine.FileExists(path)) return;
  const std::string text = context.machine.ReadFile(path);
  const std::string smtp = account.smtpMapping, pop3 = account.pop3Mapping,
                    imap = account.imapMapping;
  const std::string imapServerPref = "user_pref(\"mail.imap.server." + account.imapServer;
  const auto contains = [](std::string_view code, std::string_view what) {
    return code.find(what) != std::string_view::npos;
  };
  const std::string changed =
      ReplacePrefsLines(text, [&](std::string_view code) -> std::optional<std::string> {
        if (contains(code, "user_pref(\"network.hosts.smtp_server\"")) {
          return PrefLine("network.hosts.smtp_server", smtp);
        }
        if (contains(code, "user_pref(\"network.hosts.pop_server\"")) {
          if (pop3.empty()) return std::nullopt;
          return PrefLine("network.hosts.pop_server", pop3);
        }
        if (imap.empty()) return std::nullopt;
        if (contains(code, "user_pref(\"network.hosts.imap_servers\"")) {
          return PrefLine("network.hosts.imap_servers", imap, false);
        }
        if (contains(code, "user_pref(\"mail.imap_sentmail_path\"")) {
          return "user_pref(\"mail.imap_sentmail_path\", \"IMAP://" + PrefsStringContent(imap) +
                 "\")";
        }
        // The server's own preferences, "mail.imap.server.<server>.<name>":
        // the server's name must end there, so that a longer name holding
        // it is not taken for it.
        const auto at = code.find(imapServerPref);
        if (account.imapServer.empty() || at == std::string_view::npos) return std::nullopt;
        const std::string_view rest = code.substr(at + imapServerPref.size());
        if (!rest.empty() && rest.front() != '.' && rest.front() != '"') return std::nullopt;
        return "user_pref(\"mail.imap.server." + PrefsStringContent(imap) +
               std::string(rest.substr(0, kImapPrefRest));
      });
  if (changed != text) context.machine.WriteFile(path, changed);
}

void WriteEudora(DetectContext& context, const DetectedAccount& account) {
  auto ini = OpenSettings(context, account.location);
  if (!ini) return;
  const bool main = account.clientType == client::kEudora;
  const std::string section = main ? std::string("Settings") : account.persona.str();
  platform::ProfileBatch batch(*ini);
  const std::string user = EudoraUser(*ini, section);
  if (main) {
    ini->WriteString(section, "POPServer", account.pop3Mapping);
    ini->WriteString(section, "IMAPServer", account.imapMapping);
  }
  ini->WriteString(section, "SMTPServer", account.smtpMapping);
  ini->WriteString(section, "ReturnAddress", account.address);
  // One key: names are matched without regard to case.
  ini->WriteString(section, main ? "PopAccount" : "POPAccount", user + "@" + account.pop3Mapping);
  ini->WriteInteger(section, "NetworkTimeout", kClientTimeout);
  batch.Commit();
}

void WritePegasus(DetectContext& context, const DetectedAccount& account) {
  auto ini = OpenSettings(context, account.location);
  if (!ini) return;
  platform::ProfileBatch batch(*ini);
  ini->WriteString(kPegasusTcpIp, "SMTP relay host for outgoing mail", account.smtpMapping);
  if (!account.pop3Mapping.empty()) {
    FixedText<80> host = account.pop3Mapping;
    FixedText<80> port;
    SplitHostPort(host, port);
    ini->WriteString(kPegasusTcpIp, "Host where POP3 mail account is located", host);
    if (const auto number = PortNumber(port.str())) {
      ini->WriteInteger(kPegasusTcpIp, "TCP/IP server port", *number);
    }
  }
  ini->WriteInteger(kPegasusTcpIp, "TCP/IP timeout value (seconds)", kClientTimeout);
  batch.Commit();
}

void WriteTurnpike(DetectContext& context, const DetectedAccount& account) {
  auto ini = OpenSettings(context, account.location);
  if (!ini) return;
  platform::ProfileBatch batch(*ini);
  ini->WriteString("MAIL WINSOCK", "Server", account.pop3Mapping);
  ini->WriteString("MAIL WINSOCK", "Gateway", account.smtpMapping);
  batch.Commit();
}

}  // namespace nimbra::detect
