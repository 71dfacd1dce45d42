#include "core/strings.h"
#include "detect/registry_readers.h"
#include "detect/registry_values.h"

namespace nimbra::detect {

namespace {

// The key's own name: the path without its final "\", after the last "\".
std::string KeyName(std::string_view path) {
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  const auto slash = path.rfind('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// One account key; values of another kind than expected read as empty.
// False when the key does not open.
bool ReadAccount(DetectContext& context, const std::string& path, DetectedAccount& account) {
  const auto key = OpenUserKey(context.machine, path);
  if (!key) return false;
  account.address = ReadStringOrEmpty(*key, "SMTP Reply To Email Address");
  if (account.address.empty()) account.address = ReadStringOrEmpty(*key, "SMTP Email Address");
  account.software = "Microsoft Outlook Client";
  account.name = ReadStringOrEmpty(*key, "SMTP Display Name");
  const std::string accountName = ReadStringOrEmpty(*key, "Account Name");
  const std::string shown = accountName.empty() ? KeyName(path) : accountName;
  if (!accountName.empty()) {
    account.software = "MS Outlook Express/Outlook 98 Client (" + accountName + ")";
    if (account.name.empty()) account.name = accountName;
  } else {
    account.software = "Microsoft Outlook Client (" + shown + ")";
  }
  if (account.address.str().find("msn.com") != std::string::npos) {
    account.software = "MSN POP3 Outlook Client (" + shown + ")";
  }
  account.clientType = client::kOutlook;
  account.smtpServer = ReadStringOrEmpty(*key, "SMTP Server");
  account.smtpPort = ReadIntegerOrEmpty(*key, "SMTP Port");
  account.pop3Server = ReadStringOrEmpty(*key, "POP3 Server");
  account.pop3Port = ReadIntegerOrEmpty(*key, "POP3 Port");
  account.imapServer = ReadStringOrEmpty(*key, "IMAP Server");
  account.imapPort = ReadIntegerOrEmpty(*key, "IMAP Port");
  account.location = path;
  return true;
}

// One key path a line, CR LF after each. The list is a record for support,
// not part of the search: a setup folder that cannot be written (a CD-ROM)
// must not cost the accounts.
void SaveDump(DetectContext& context, const std::vector<std::string>& candidates) {
  std::string text;
  for (const std::string& path : candidates) text += path + "\r\n";
  try {
    context.machine.WriteFile(context.setupDir + "Dump.txt", text);
  } catch (const std::exception&) {
  }
}

}  // namespace

void SearchOutlook(DetectContext& context, std::vector<DetectedAccount>& found) {
  std::vector<std::string> candidates;
  FindKeysWithValue(context.machine, "\\Software\\", candidates, "@");
  SaveDump(context, candidates);
  for (const std::string& path : candidates) {
    context.Pump();
    try {
      DetectedAccount account;
      if (!ReadAccount(context, path, account)) continue;
      if (!account.smtpServer.empty() &&
          (!account.pop3Server.empty() || !account.imapServer.empty())) {
        found.push_back(std::move(account));
      }
    } catch (const std::exception&) {
      // An error on one candidate drops that candidate only.
    }
  }
}

void RefreshOutlook(DetectContext& context, DetectedAccount& account) {
  DetectedAccount read = account;
  if (ReadAccount(context, account.location, read)) account = read;
}

}  // namespace nimbra::detect
