#include "core/strings.h"
#include "engine/entropy/entropy.h"
#include "keys/keys_db.h"
#include "keys/nimbra_crypto.h"
#include "keys/product_location.h"
#include "keys/text_seal.h"
#include "keys/ui_entropy.h"
#include "platform/files/path.h"
#include "platform/machine.h"
#include "platform/processes/library.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/registry.h"
#include "ui/ui.h"

namespace nimbra::keys {

TNimbraCrypto::TNimbraCrypto(platform::Machine& machine, ui::Ui& ui,
                             platform::LibraryLoader& libraries, std::string programDir)
    : machine_(machine),
      ui_(ui),
      libraries_(libraries),
      programDir_(std::move(programDir)),
      random_(std::make_unique<ComponentRandom>(ui)) {}

TNimbraCrypto::~TNimbraCrypto() = default;

std::string TNimbraCrypto::Host(const std::string& windowsPath) const {
  if (windowsPath.empty()) return {};
  const auto host = machine_.HostPath(windowsPath);
  return host ? host->string() : std::string();
}

bool TNimbraCrypto::FileExists(const std::string& windowsPath) const {
  return !windowsPath.empty() && machine_.FileExists(windowsPath);
}

void TNimbraCrypto::LoadGeneralSettings() {
  wsIni_ = ProductIniPath(machine_, programDir_);
  platform::ProfileFile ws(Host(wsIni_));
  mainUsers_ = ws.ReadString("WORKSTATION", "UsersFile", "");
  sharedUsers_ = ws.ReadString("WORKSTATION", "SecondUsers", "");
  if (FileExists(mainUsers_))
    usersFile_ = mainUsers_;
  else if (!sharedUsers_.empty())
    usersFile_ = sharedUsers_;
  else if (!mainUsers_.empty())
    usersFile_ = mainUsers_;
  else
    usersFile_ = platform::JoinWindowsPath(programDir_, "Users.INI");
}

void TNimbraCrypto::LoadUserSettings() {
  if (wsIni_.empty()) LoadGeneralSettings();
  const std::string dir = platform::ExtractFilePath(usersFile_);
  ownKeys_[0] = dir + "MYKEYS.DAT";
  recips_[0] = dir + "RECIPS.DAT";
  trust_[0] = dir + "TRUST.INI";
  const std::string sharedDir = platform::ExtractFilePath(sharedUsers_);
  ownKeys_[1] = sharedDir.empty() ? std::string() : sharedDir + "MYKeys.DAT";
  recips_[1] = sharedDir.empty() ? std::string() : sharedDir + "Recips.DAT";
  trust_[1] = sharedDir.empty() ? std::string() : sharedDir + "TRUST.INI";

  platform::ProfileFile users(Host(usersFile_));
  policyName_ = "Default";
  defaultEmail_.clear();
  userLevel_ = 0;
  if (currentUser_.empty()) return;
  policyName_ = users.ReadString(currentUser_, "POLICY", "Default");
  defaultEmail_ = users.ReadString(currentUser_, "DefaultEmail", "");
  storageMode = users.ReadInteger(currentUser_, "StorageMode", storageMode);
  signatureMode = users.ReadInteger(currentUser_, "SignatureMode", signatureMode);
  // "USERLEVEL" is the sealed level number followed by the user's name; a
  // value sealed for another name gives no level.
  if (auto level = UnsealText(users.ReadString(currentUser_, "USERLEVEL", ""))) {
    std::size_t digits = 0;
    while (digits < level->size() && std::isdigit(static_cast<unsigned char>((*level)[digits])))
      ++digits;
    if (digits > 0 && SameText(level->substr(digits), currentUser_))
      userLevel_ = StrToIntDef(level->substr(0, digits), 0);
  }
}

std::string TNimbraCrypto::MessageCaption() {
  if (wsIni_.empty()) LoadGeneralSettings();
  return ProductCaption(machine_, wsIni_);
}

void TNimbraCrypto::Message(std::string_view text, std::string_view caption) {
  ui_.Message(caption.empty() ? MessageCaption() : std::string(caption), text);
}

PolicyStore TNimbraCrypto::Policies() const {
  return PolicyStore(Host(usersFile_));
}

std::optional<std::string> TNimbraCrypto::UserEntry(const std::string& usersFile,
                                                    const std::string& user) const {
  if (usersFile.empty() || user.empty()) return std::nullopt;
  const std::string host = Host(usersFile);
  if (host.empty()) return std::nullopt;
  platform::ProfileFile file(host);
  if (!file.ValueExists("USERS", user)) return std::nullopt;
  return file.ReadString("USERS", user, "");
}

SecretBuffer TNimbraCrypto::RandomBytes(std::size_t count) {
  SecretBuffer bytes(count);
  try {
    random_->Fill(bytes.data(), count);
  } catch (const std::exception&) {
    // The system's source stands in for a failed generator.
    engine::OsRandomBytes(bytes.data(), count);
  }
  return bytes;
}

bool TNimbraCrypto::OpenPair(TKeysDB& db, const std::string* files) {
  // A users file on a network drive makes the first set shared too.
  const bool firstShared =
      !files[0].empty() && machine_.GetDriveType(files[0]) == platform::DriveType::Remote;
  return db.Open(Host(files[0]), Host(files[1]), RandomBytes(100).Bytes(), dbPassword_[1].Text(),
                 dbPassword_[0].Text(), firstShared);
}

bool TNimbraCrypto::OpenOwnKeys(TKeysDB& db) {
  return OpenPair(db, ownKeys_);
}
bool TNimbraCrypto::OpenRecipients(TKeysDB& db) {
  return OpenPair(db, recips_);
}

std::string TNimbraCrypto::SealUserPassword(std::string_view password,
                                            std::span<const std::uint8_t> randomData) {
  return SealUserEntry(password, MakeDatabasePassword(randomData).Text());
}

std::string TNimbraCrypto::SealText(std::string_view text) const {
  return SealSettingText(text);
}

std::optional<std::string> TNimbraCrypto::UnsealText(std::string_view sealed) const {
  return UnsealSettingText(sealed);
}

}  // namespace nimbra::keys
