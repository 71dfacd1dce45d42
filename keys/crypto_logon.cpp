#include "core/strings.h"
#include "keys/clock.h"
#include "keys/ext_auth.h"
#include "keys/logon_window.h"
#include "keys/nimbra_crypto.h"
#include "keys/product_location.h"
#include "keys/text_seal.h"
#include "platform/files/path.h"
#include "platform/machine.h"
#include "platform/processes/library.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/registry.h"
#include "ui/ui.h"

namespace nimbra::keys {

namespace {

constexpr std::string_view kKeepLogged = "KEEPLOGGED";
// Rounds of the external library's logon before the component gives up on
// a library that keeps returning users it cannot check.
constexpr int kMaxExternalRounds = 100;

}  // namespace

// A loaded external authentication library, unloaded after each use.
struct TNimbraCrypto::ExtAuth {
  platform::ModuleHandle module = 0;
  std::function<ExtAuthStatusChange> statusChange;
  std::function<ExtAuthLogonUser> logonUser;
};

std::unique_ptr<TNimbraCrypto::ExtAuth> TNimbraCrypto::LoadExtAuth() {
  auto key = machine_.Reg().OpenKey(platform::RootKey::LocalMachine, kProductKey, false);
  if (!key || !key->ValueExists("ThirdPartyAuth")) return nullptr;
  std::int32_t enabled = 0;
  if (key->GetValueType("ThirdPartyAuth") == platform::RegType::DWord)
    enabled = key->ReadInteger("ThirdPartyAuth");
  else
    enabled = StrToIntDef(Trim(key->ReadString("ThirdPartyAuth")), 0);
  if (enabled == 0) return nullptr;
  std::string name =
      key->ValueExists("ThirdPartyAuthDLL") ? key->ReadString("ThirdPartyAuthDLL") : std::string();
  if (name.empty()) name = kExtAuthDefaultName;
  auto library = std::make_unique<ExtAuth>();
  library->module = libraries_.LoadLibrary(name);
  if (library->module == 0) return nullptr;
  library->statusChange =
      libraries_.GetProc<ExtAuthStatusChange>(library->module, "NB_StatusChange");
  library->logonUser = libraries_.GetProc<ExtAuthLogonUser>(library->module, "NB_LogonUser");
  if (auto init = libraries_.GetProc<ExtAuthInitialize>(library->module, "NB_InitializeLogon")) {
    try {
      init();
    } catch (const std::exception& error) {
      Message(std::string("External Authentication OPEN DLL Function Error :") + error.what());
    }
  }
  return library;
}

void TNimbraCrypto::FreeExtAuth(std::unique_ptr<ExtAuth> library) {
  if (!library) return;
  if (auto release = libraries_.GetProc<ExtAuthFree>(library->module, "NB_FreeLogon")) {
    try {
      release();
    } catch (const std::exception& error) {
      Message(std::string("External Authentication Close DLL Function Error :") + error.what());
    }
  }
  libraries_.FreeLibrary(library->module);
}

int TNimbraCrypto::CardStatus() {
  auto library = LoadExtAuth();
  if (!library) return 0;
  int status = 0;
  if (library->statusChange) {
    try {
      status = library->statusChange();
    } catch (const std::exception& error) {
      Message(std::string("External StatusChange Function Error :") + error.what());
      status = -2;
    }
  }
  FreeExtAuth(std::move(library));
  return status;
}

LogonSession& TNimbraCrypto::Session() {
  if (!session_) session_ = std::make_unique<LogonSession>(machine_.Root());
  return *session_;
}

LogonRecord TNimbraCrypto::ReadSession() {
  return Session().Read();
}
void TNimbraCrypto::WriteSession(const LogonRecord& record) {
  Session().Write(record);
}

void TNimbraCrypto::Logoff() {
  loggedOn_ = false;
  passwordHash_.Clear();
  dbPassword_[0].Clear();
  dbPassword_[1].Clear();
}

void TNimbraCrypto::FillRecord(LogonRecord& record) const {
  record.userName = currentUser_;
  record.password = passwordHash_;
  record.logonTime = Now();
}

bool TNimbraCrypto::CheckPassword(const std::string& userName, std::string_view password) {
  if (userName.empty()) return false;
  // Whatever the outcome, the logon in force ends here: nothing of another
  // user stays in force while this name is the current user.
  Logoff();
  currentUser_ = userName;
  LoadGeneralSettings();
  LoadUserSettings();

  std::optional<std::string> entry = UserEntry(mainUsers_, userName);
  if (!entry) {
    entry = UserEntry(sharedUsers_, userName);
    if (!entry) return false;
    // A user known only to the shared file gets a copy of the entry in the
    // main file, unless that file only caches the shared one.
    const std::string mainHost = Host(mainUsers_);
    if (FileExists(mainUsers_)) {
      platform::ProfileFile main(mainHost);
      if (!main.ReadBool("DBTYPE", "CACHEONLY", false)) main.WriteString("Users", userName, *entry);
    }
  }

  // The unsealed entry: the hash (40 digits), then the database password.
  const auto opens = [](const std::optional<SecretBuffer>& text, std::string_view hash) {
    return text && text->size() >= 40 && text->Text().substr(0, 40) == hash;
  };
  SecretBuffer hash;
  std::optional<SecretBuffer> text = keys::UnsealText(*entry, password);
  if (opens(text, password)) {
    hash.Assign(password);  // the password given was the hash already
  } else {
    hash = keys::PasswordHash(password);
    text = keys::UnsealText(*entry, hash.Text());
    if (!opens(text, hash.Text())) return false;
  }
  loggedOn_ = true;
  passwordHash_ = std::move(hash);
  dbPassword_[0].Assign(text->size() > 40 ? text->Text().substr(40, 40) : text->Text());

  // The second set's password comes from the users file beside the shared
  // key files, sealed under the same hash.
  const std::string sharedDir = platform::ExtractFilePath(ownKeys_[1]);
  const std::string sharedUsers = sharedDir.empty() ? std::string() : sharedDir + "USERS.INI";
  if (FileExists(sharedUsers)) {
    if (auto sharedEntry = UserEntry(sharedUsers, userName)) {
      const auto sharedText = keys::UnsealText(*sharedEntry, passwordHash_.Text());
      if (opens(sharedText, passwordHash_.Text()) && sharedText->size() > 40)
        dbPassword_[1].Assign(sharedText->Text().substr(40, 40));
    }
  }
  return true;
}

std::optional<bool> TNimbraCrypto::ExternalLogon() {
  auto library = LoadExtAuth();
  if (!library) return std::nullopt;
  bool result = false;
  if (library->logonUser) {
    for (int round = 0; round < kMaxExternalRounds; ++round) {
      char user[kExtAuthBufferSize] = {};
      char password[kExtAuthBufferSize] = {};
      try {
        library->logonUser(reinterpret_cast<std::uintptr_t>(this), 1, user, password);
      } catch (const std::exception& error) {
        Message(std::string("External Authentication Function Error :") + error.what());
        break;
      }
      user[kExtAuthBufferSize - 1] = password[kExtAuthBufferSize - 1] = '\0';
      const std::string name = user;
      const SecretBuffer secret{std::string_view(password)};
      SecureWipe(password, sizeof password);
      if (name.empty() && secret.empty()) break;
      if (!name.empty() && CheckPassword(name, secret.Text())) {
        result = true;
        break;
      }
      Message("Your Logon failed to Authenticate.", "Authentication Error");
    }
  }
  FreeExtAuth(std::move(library));
  return result;
}

bool TNimbraCrypto::InteractiveLogon() {
  if (loggedOn_) return true;
  if (auto external = ExternalLogon()) return *external;
  return LogonWindow();
}

bool TNimbraCrypto::LogonWindow() {
  std::vector<std::string> names;
  for (const std::string& file : {mainUsers_, sharedUsers_}) {
    const std::string host = Host(file);
    if (host.empty() || !FileExists(file)) continue;
    for (const std::string& name : platform::ProfileFile(host).KeyNames("Users")) {
      bool listed = false;
      for (const std::string& known : names) listed = listed || SameText(known, name);
      if (!listed) names.push_back(name);
    }
  }
  if (names.empty()) {
    Message("No Users Set up, please run the Control Panel", "Fatal Error");
    return false;
  }
  auto window = MakeLogonWindow(names, currentUser_);
  const char* const kRefused = "The password you entered was incorrect";
  for (bool again = false;; again = true) {
    const ui::ModalResult result =
        again ? ui_.ShowModalAgain(*window, kRefused) : ui_.ShowModal(*window);
    if (result != ui::ModalResult::Ok) return false;
    std::string name = window->At("Users").text;
    if (name.empty()) name = window->At("Users").Selected();
    // What was typed is taken out of the box at once.
    std::string& typed = window->At("Password").text;
    const SecretBuffer password(typed.empty() ? kNilPassphrase : std::string_view(typed));
    SecureWipe(typed.data(), typed.size());
    typed.clear();
    if (CheckPassword(name, password.Text())) return true;
    Message(kRefused, "Password Error");
  }
}

bool TNimbraCrypto::Logon(LogonRecord& record) {
  LoadGeneralSettings();
  if (record.logonTime) {
    const int status = CardStatus();
    if (status != 0) {
      Message(status == -2   ? "Card Reader reported an error."
              : status == -1 ? "No Card in Reader. Please Insert Card."
                             : "Incorrect Card in Reader!");
      Session().Clear();
      record.userName.clear();
      record.password.Clear();
      Logoff();
    }
  }
  if (!FileExists(mainUsers_) && !FileExists(sharedUsers_)) {
    LoadGeneralSettings();
    if (!FileExists(mainUsers_) && !FileExists(sharedUsers_)) {
      Message(
          "Unable to connect to your user files. If you are a Network user please check your "
          "server connections.");
      return false;
    }
  }
  if (loggedOn_) {
    FillRecord(record);
    return true;
  }
  if (!record.userName.empty() && !record.password.empty() &&
      CheckPassword(record.userName, record.password.Text())) {
    FillRecord(record);
    LoadUserSettings();
    return true;
  }
  if (shareSessions) {
    record = Session().Read();
    std::string known = "NONE";
    if (!record.userName.empty()) {
      known = UserEntry(mainUsers_, record.userName)
                  .value_or(UserEntry(sharedUsers_, record.userName).value_or("NONE"));
    }
    if (known != "NONE")
      currentUser_ = record.userName;
    else
      record.userName.clear();
  }
  if (!record.userName.empty() && !record.password.empty()) {
    if (!CheckPassword(record.userName, record.password.Text())) {
      record = LogonRecord{};
      return false;
    }
  } else {
    if (record.userName.empty()) record.userName = currentUser_;
    if (record.password.Text() != kKeepLogged) record.password.Assign(kNilPassphrase);
    if (!CheckPassword(record.userName, record.password.Text())) {
      currentUser_ = record.userName;
      if (!InteractiveLogon()) {
        record = LogonRecord{};
        return false;
      }
    }
  }
  FillRecord(record);
  if (shareSessions && !SameText(currentUser_, kServiceUser)) Session().Write(record);
  LoadUserSettings();
  if (userLevel_ > 1 && !SameText(currentUser_, kServiceUser))
    platform::ProfileFile(Host(wsIni_)).WriteString("WorkStation", "DefaultUser", currentUser_);
  if (onOpenSession) onOpenSession();
  return true;
}

}  // namespace nimbra::keys
