#include "detect/file_readers.h"
#include "detect/prefs_js.h"

namespace nimbra::detect {

namespace {

// Applies the recognised preferences of a prefs.js text to a record, later
// lines winning; a recognised preference whose value is not a string gives
// empty text. The account address stands in for a missing reply address.
void ReadPrefs(std::string_view text, DetectedAccount& account) {
  std::string userEmail;
  for (const UserPref& pref : ReadUserPrefs(text)) {
    const std::string value = pref.value.value_or("");
    if (pref.name == "network.hosts.smtp_server") {
      account.smtpServer = value;
    } else if (pref.name == "network.hosts.pop_server") {
      account.pop3Server = value;
    } else if (pref.name == "network.hosts.imap_servers") {
      account.imapServer = value;
    } else if (pref.name == "mail.identity.reply_to") {
      account.address = value;
    } else if (pref.name == "mail.identity.username") {
      account.name = value;
    } else if (pref.name == "mail.identity.useremail") {
      userEmail = value;
    }
  }
  if (account.address.empty()) account.address = userEmail;
}

}  // namespace

void ReadCommunicatorFile(DetectContext& context, const std::string& path,
                          std::vector<DetectedAccount>& found) {
  DetectedAccount account;
  account.location = path;
  account.software = "Netscape Communicator";
  account.clientType = client::kCommunicator;
  try {
    ReadPrefs(context.machine.ReadFile(path), account);
  } catch (const std::exception&) {
    // The account is kept with what could be read.
  }
  found.push_back(std::move(account));
}

void RefreshCommunicator(DetectContext& context, DetectedAccount& account) {
  if (!context.machine.FileExists(account.location)) return;
  DetectedAccount read = account;
  read.address.clear();
  ReadPrefs(context.machine.ReadFile(account.location), read);
  account = read;
}

}  // namespace nimbra::detect
