#include "detect/registry_readers.h"
#include "detect/registry_values.h"

namespace nimbra::detect {

namespace {

constexpr const char* kNavigatorKey = "Software\\Netscape\\Netscape Navigator\\";

// Address, name and servers, each from the key that holds it when that key
// opens; with `split`, host and port given together in a server value read
// are split.
void ReadNavigator(DetectContext& context, DetectedAccount& account, bool split) {
  if (const auto user = OpenUserKey(context.machine, std::string(kNavigatorKey) + "User")) {
    account.address = ReadStringValue(*user, "Reply_To");
    if (account.address.empty()) account.address = ReadStringValue(*user, "User_Addr");
    account.name = ReadStringValue(*user, "User_Name");
  }
  if (const auto services = OpenUserKey(context.machine, std::string(kNavigatorKey) + "Services")) {
    account.smtpServer = ReadStringValue(*services, "SMTP_Server");
    account.pop3Server = ReadStringValue(*services, "POP_Server");
    if (split) {
      SplitHostPort(account.smtpServer, account.smtpPort);
      SplitHostPort(account.pop3Server, account.pop3Port);
    }
  }
}

}  // namespace

void SearchNavigator(DetectContext& context, std::vector<DetectedAccount>& found) {
  DetectedAccount account;
  ReadNavigator(context, account, false);
  if (account.address.empty() || account.smtpServer.empty() || account.pop3Server.empty()) return;
  account.clientType = client::kNavigator;
  account.software = "Netscape Navigator";
  SplitHostPort(account.smtpServer, account.smtpPort);
  SplitHostPort(account.pop3Server, account.pop3Port);
  found.push_back(std::move(account));
}

void RefreshNavigator(DetectContext& context, DetectedAccount& account) {
  // Host and port given together are split as the search splits them, so
  // that a refreshed account names the same server and port.
  ReadNavigator(context, account, true);
}

}  // namespace nimbra::detect
