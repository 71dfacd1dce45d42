#include "detect/client_restore.h"

#include "detect/address_mappings.h"
#include "detect/client_writers.h"
#include "detect/registry_values.h"
#include "platform/profile/profile_file.h"

namespace nimbra::detect {

namespace {

constexpr std::string_view kAddedMark = "#added by NimbraPost";

// The real server as a program setting: the server, with ":" + port when the
// section keeps a port.
std::string RealServer(const std::string& server, const std::string& port) {
  return port.empty() ? server : server + ":" + port;
}

// What the program is pointed at instead of a real server: the server name
// itself when Quickroute routes it through the hosts file, else the local
// address kept for it; empty without a server or a mapping.
std::string PointedAt(platform::Machine& machine, const std::string& folder,
                      const std::string& server, const std::string& port,
                      std::string_view defaultPort) {
  if (server.empty()) return {};
  if (IsNameInHosts(machine, server)) return server;
  std::string mapping = LookUpMapping(machine, folder, "INMAPSERVER", server,
                                      port.empty() ? defaultPort : std::string_view(port));
  if (mapping == kNotMapped) mapping = LookUpMapping(machine, folder, "INMAPSERVER", server, port);
  return mapping == kNotMapped ? std::string() : mapping;
}

// A port value the protection set where the section keeps none.
void DeletePortValues(DetectContext& context, const DetectedAccount& account) {
  if (account.clientType == client::kOutlook) {
    const auto key = OpenUserKey(context.machine, account.location);
    if (!key) return;
    if (account.pop3Port.empty() && !account.pop3Server.empty()) key->DeleteValue("POP3 Port");
    if (account.smtpPort.empty() && !account.smtpServer.empty()) key->DeleteValue("SMTP Port");
    if (account.imapPort.empty() && !account.imapServer.empty()) key->DeleteValue("IMAP Port");
    return;
  }
  if (account.clientType != client::kPegasus && account.clientType != client::kEudora) return;
  if (!context.machine.FileExists(account.location)) return;
  const auto host = context.machine.HostPath(account.location);
  if (!host) return;
  platform::ProfileFile ini(*host);
  if (account.clientType == client::kPegasus) {
    if (account.pop3Port.empty()) {
      ini.DeleteKey("pegasus Mail for Windows - built-in TCP/IP Mail", "TCP/IP server port");
    }
  } else if (account.imapServer.empty() && ini.ReadString("Settings", "IMAPServer", "x").empty()) {
    // The protection writes the IMAP server even when the account has none.
    ini.DeleteKey("Settings", "IMAPServer");
  }
}

}  // namespace

bool RestoreClientSettings(DetectContext& context, const std::string& folder,
                           const DetectedAccount& account, int section) {
  platform::Machine& machine = context.machine;
  DetectedAccount reversed = account;
  const auto swap = [&](auto& server, auto& port, auto& mapping, std::string_view defaultPort) {
    const std::string real = server.str(), realPort = port.str();
    mapping = RealServer(real, realPort);
    if (real.empty()) return;
    const std::string now = PointedAt(machine, folder, real, realPort, defaultPort);
    server = now.empty() ? real : now;
    // The mailbox keeps a port of its own: the default one when none was kept.
    if (account.clientType == client::kMailbox && realPort.empty()) {
      mapping = real + ":" + std::string(defaultPort);
    }
  };
  swap(reversed.pop3Server, reversed.pop3Port, reversed.pop3Mapping, kDefaultPop3Port);
  swap(reversed.smtpServer, reversed.smtpPort, reversed.smtpMapping, kDefaultSmtpPort);
  swap(reversed.imapServer, reversed.imapPort, reversed.imapMapping, kDefaultImapPort);
  if (!WriteClientSettings(context, reversed, section)) return false;
  DeletePortValues(context, account);
  return true;
}

std::string WithoutQuickrouteLines(const std::string& text, int* removed) {
  std::string out;
  int count = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string_view line = std::string_view(text).substr(at, end - at);
    std::string_view content = line;
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r'))
      content.remove_suffix(1);
    if (content.ends_with(kAddedMark)) {
      ++count;
    } else {
      out += line;
    }
    at = end;
  }
  if (removed) *removed = count;
  return out;
}

}  // namespace nimbra::detect
