#include <vector>

#include "core/strings.h"
#include "detect/client_writers.h"
#include "detect/registry_values.h"

namespace nimbra::detect {

namespace {

using platform::RegKey;

constexpr const char* kNavigatorKey = "Software\\Netscape\\Netscape Navigator\\";
// The most bytes of an Internet Mail password carried over to the new key.
constexpr std::size_t kPasswordBytes = 200;

// A mapping split into host and port ("127.0.1.1:110"); the port is empty
// for a mapping without one.
struct Split {
  std::string host;
  std::string port;
};
Split SplitMapping(const std::string& mapping) {
  FixedText<80> host = mapping;
  FixedText<80> port;
  SplitHostPort(host, port);
  return {host.str(), port.str()};
}

// "<protocol> Server" = host and, for a mapping with a port, "<protocol>
// Port" = the port as an integer.
void WriteServerAndPort(const RegKey& key, const std::string& protocol,
                        const std::string& mapping) {
  if (mapping.empty()) return;
  const Split split = SplitMapping(mapping);
  key.WriteString(protocol + " Server", split.host);
  if (const auto port = PortNumber(split.port)) key.WriteInteger(protocol + " Port", *port);
}

// Renames the server's key below "<protocol>" of the Internet Mail key to
// the mapping, values and subkeys included. A stale key of the new name
// (left by an earlier run) gives way to the current settings.
void MoveServerKey(const RegKey& mail, const char* protocol, const std::string& server,
                   const std::string& mapping) {
  if (server.empty() || mapping.empty() || AnsiSameText(server, mapping)) return;
  const auto parent = mail.OpenSubkey(protocol, false);
  if (!parent || !parent->SubkeyExists(server)) return;
  if (parent->SubkeyExists(mapping)) parent->DeleteSubkey(mapping);
  parent->MoveSubkey(server, mapping);
}

}  // namespace

std::optional<int> PortNumber(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return value;
}

void WriteNavigator(DetectContext& context, const DetectedAccount& account) {
  const auto services = OpenUserKey(context.machine, std::string(kNavigatorKey) + "Services");
  if (!services) return;
  services->WriteString("SMTP_Server", account.smtpMapping);
  services->WriteString("POP_Server", account.pop3Mapping);
  if (!OpenUserKey(context.machine, std::string(kNavigatorKey) + "Viewers")) return;
  // The browser's file suffixes of the product's two content types.
  const auto suffixes = context.machine.Reg().OpenKey(
      platform::RootKey::CurrentUser, std::string("\\") + kNavigatorKey + "Suffixes", true);
  suffixes->WriteString("Application/VRX", "VRX");
  suffixes->WriteString("Application/VRXPayment", "ZQP");
}

void WriteOutlook(DetectContext& context, const DetectedAccount& account) {
  const auto key = OpenUserKey(context.machine, account.location);
  if (!key) return;
  WriteServerAndPort(*key, "SMTP", account.smtpMapping);
  WriteServerAndPort(*key, "POP3", account.pop3Mapping);
  WriteServerAndPort(*key, "IMAP", account.imapMapping);
  key->WriteInteger("SMTP Timeout", kClientTimeout);
  key->WriteInteger("POP3 Timeout", kClientTimeout);
}

void WriteExchange(DetectContext& context, const DetectedAccount& account) {
  const auto key = OpenUserKey(context.machine, account.location);
  if (!key) return;
  key->WriteString("001e6600", account.pop3Mapping);
  key->WriteString("001e6611", account.smtpMapping);
}

// Internet Mail keeps one key per server below "POP3" and "SMTP", named by
// the server, and reads each server's password and time-outs from there:
// the keys are renamed to the mappings, and the password and the time-outs
// are written into the renamed keys.
void WriteInternetMail(DetectContext& context, DetectedAccount& account, int section) {
  account.subClient = section;
  const auto mail = OpenUserKey(context.machine, account.location);
  if (!mail) return;
  const std::string pop3 = account.pop3Server, smtp = account.smtpServer;
  const std::string pop3Mapping = account.pop3Mapping, smtpMapping = account.smtpMapping;
  std::optional<platform::RegValue> password;
  if (const auto server = mail->OpenSubkey("POP3\\" + pop3, false);
      !pop3.empty() && server && server->ValueExists("Password")) {
    password = server->ReadRaw("Password");
    if (password->data.size() > kPasswordBytes) password->data.resize(kPasswordBytes);
  }
  MoveServerKey(*mail, "POP3", pop3, pop3Mapping);
  MoveServerKey(*mail, "SMTP", smtp, smtpMapping);
  if (const auto server = mail->OpenSubkey("POP3\\" + pop3Mapping, false);
      !pop3Mapping.empty() && server) {
    if (password) server->WriteRaw("Password", *password);
    server->WriteInteger("RecvTimeOut", kClientTimeout);
    server->WriteInteger("SendTimeOut", kClientTimeout);
  }
  if (const auto server = mail->OpenSubkey("SMTP\\" + smtpMapping, false);
      !smtpMapping.empty() && server) {
    server->WriteInteger("RecvTimeOut", kClientTimeout);
    server->WriteInteger("SendTimeOut", kClientTimeout);
  }
  mail->WriteString("Default SMTP Server", smtpMapping);
  mail->WriteString("Default POP3 Server", pop3Mapping);
}

}  // namespace nimbra::detect
