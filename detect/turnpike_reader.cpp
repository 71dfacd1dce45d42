#include "core/strings.h"
#include "detect/file_readers.h"
#include "platform/files/path.h"
#include "platform/profile/profile_text.h"

namespace nimbra::detect {

namespace {

constexpr const char* kMail = "MAIL WINSOCK";
constexpr const char* kUser = "DESKMAIL Mailbox";

// The user file n beside "Connect.ini": "User" + three digits + "\Turnpike.ini".
std::string UserFile(const std::string& connectIni, int n) {
  return platform::ExtractFilePath(connectIni) + "User" + FormatInt(n, 3) + "\\Turnpike.ini";
}

// The servers of a "Connect.ini" whose incoming protocol is POP3 (exactly);
// false for any other.
bool ReadServers(const platform::ProfileText& connect, DetectedAccount& account) {
  if (connect.ReadString(kMail, "Incoming", "ERROR") != "POP3") return false;
  account.pop3Server = connect.ReadString(kMail, "Server", "ERROR");
  account.smtpServer = connect.ReadString(kMail, "Gateway", "ERROR");
  return true;
}

void ReadUser(const platform::ProfileText& user, DetectedAccount& account) {
  account.name = user.ReadString(kUser, "UserName", "No Name");
  account.address = CleanTurnpikeAddress(user.ReadString(kUser, "ReplyTo", ""));
}

}  // namespace

std::string CleanTurnpikeAddress(std::string_view address) {
  if (const auto open = address.find('<'); open != std::string_view::npos) {
    address.remove_prefix(open + 1);
  }
  return std::string(address.substr(0, address.find('>')));
}

void ReadTurnpikeFile(DetectContext& context, const std::string& path,
                      std::vector<DetectedAccount>& found) {
  DetectedAccount servers;
  if (!ReadServers(platform::ProfileText(context.machine.ReadFile(path)), servers)) return;
  for (int n = 1;; ++n) {
    const std::string userFile = UserFile(path, n);
    if (!context.machine.FileExists(userFile)) break;
    DetectedAccount account = servers;
    account.clientType = client::kTurnpike;
    account.location = path;
    account.software = "TurnPike Mail Client";
    account.persona = userFile;
    ReadUser(platform::ProfileText(context.machine.ReadFile(userFile)), account);
    found.push_back(std::move(account));
  }
}

void RefreshTurnpike(DetectContext& context, DetectedAccount& account) {
  if (context.machine.FileExists(account.location)) {
    ReadServers(platform::ProfileText(context.machine.ReadFile(account.location)), account);
  }
  if (context.machine.FileExists(account.persona)) {
    ReadUser(platform::ProfileText(context.machine.ReadFile(account.persona)), account);
  }
}

}  // namespace nimbra::detect
