#include "detect/registry_readers.h"
#include "detect/registry_values.h"

namespace nimbra::detect {

namespace {

constexpr const char* kInternetMailKey = "Software\\Microsoft\\Internet Mail and News\\Mail\\";

// False when the key does not open.
bool ReadInternetMail(DetectContext& context, const std::string& location,
                      DetectedAccount& account) {
  const auto key = OpenUserKey(context.machine, location);
  if (!key) return false;
  account.address = ReadStringValue(*key, "Reply To");
  if (account.address.empty()) account.address = ReadStringValue(*key, "Sender EMail");
  account.name = ReadStringValue(*key, "Sender Name");
  account.smtpServer = ReadStringValue(*key, "Default SMTP Server");
  account.pop3Server = ReadStringValue(*key, "Default POP3 Server");
  account.software = "MS Internet Mail";
  account.clientType = client::kInternetMail;
  return true;
}

}  // namespace

void SearchInternetMail(DetectContext& context, std::vector<DetectedAccount>& found) {
  DetectedAccount account;
  account.location = kInternetMailKey;
  if (!ReadInternetMail(context, kInternetMailKey, account)) return;
  if (account.pop3Server.empty() && account.smtpServer.empty()) return;
  found.push_back(std::move(account));
}

void RefreshInternetMail(DetectContext& context, DetectedAccount& account) {
  ReadInternetMail(context, account.location, account);
}

}  // namespace nimbra::detect
