#include "detect/registry_readers.h"
#include "detect/registry_values.h"

namespace nimbra::detect {

namespace {

// The profile values are MAPI properties stored under their tags (type
// PT_STRING8 in the high word). False when the key does not open.
bool ReadProfile(DetectContext& context, const std::string& path, DetectedAccount& account) {
  const auto key = OpenUserKey(context.machine, path);
  if (!key) return false;
  account.address = ReadStringValue(*key, "001e6605");
  account.software = "Microsoft Exchange Client";
  account.clientType = client::kExchange;
  account.name = ReadStringValue(*key, "001e6607");
  account.pop3Server = ReadStringValue(*key, "001e6600");
  account.smtpServer = ReadStringValue(*key, "001e6611");
  if (account.smtpServer.empty()) account.smtpServer = account.pop3Server;
  account.location = path;
  return true;
}

}  // namespace

void SearchExchange(DetectContext& context, std::vector<DetectedAccount>& found) {
  std::vector<std::string> candidates;
  FindKeysWithValue(context.machine, "Software\\", candidates, "@");
  for (const std::string& path : candidates) {
    context.Pump();
    try {
      DetectedAccount account;
      if (ReadProfile(context, path, account) && !account.pop3Server.empty()) {
        found.push_back(std::move(account));
      }
    } catch (const std::exception&) {
      // A value of another kind drops this candidate only.
    }
  }
}

void RefreshExchange(DetectContext& context, DetectedAccount& account) {
  DetectedAccount read = account;
  if (ReadProfile(context, account.location, read)) account = read;
}

}  // namespace nimbra::detect
