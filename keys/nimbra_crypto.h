#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/key_publish.h"
#include "keys/key_record.h"
#include "keys/letters.h"
#include "keys/logon_session.h"
#include "keys/pgp_key_maker.h"
#include "keys/policy_store.h"

namespace nimbra::platform {
class Machine;
class LibraryLoader;
class ProfileFile;
}  // namespace nimbra::platform
namespace nimbra::ui {
class Ui;
}
namespace nimbra {
class Stream;
}

namespace nimbra::keys {

class TKeysDB;
class ComponentRandom;

// The fixed pass phrase used wherever a user has no password.
inline constexpr std::string_view kNilPassphrase = "NILPAS9062";
// The product's service user, which never writes the shared session.
inline constexpr std::string_view kServiceUser = "NBService";

// The key component: the logged-on user's settings, database passwords and
// key databases, the text sealing of the users file, the policy store, and
// the logon. Works on one machine; questions and messages go through the Ui.
class TNimbraCrypto {
 public:
  // programDir: the Windows directory of the program using the component,
  // where "WS.INI" and "Users.INI" are looked for when the registry does
  // not name the installation.
  TNimbraCrypto(platform::Machine& machine, ui::Ui& ui, platform::LibraryLoader& libraries,
                std::string programDir);
  virtual ~TNimbraCrypto();
  TNimbraCrypto(const TNimbraCrypto&) = delete;
  TNimbraCrypto& operator=(const TNimbraCrypto&) = delete;

  // ---- settings ----
  // "WS.INI" (through "exePath" of HKLM "\Software\NimbraPost\Current
  // Version", else beside the program) and the users files it names.
  void LoadGeneralSettings();
  // The current user's paths, policy, modes and level.
  void LoadUserSettings();
  const std::string& WsIni() const { return wsIni_; }
  const std::string& MainUsersFile() const { return mainUsers_; }
  const std::string& SharedUsersFile() const { return sharedUsers_; }
  // The users file in use: the main one, else the shared one, else
  // "Users.INI" beside the program.
  const std::string& UsersFile() const { return usersFile_; }
  // Key database files (Windows paths) of the first and the second set.
  const std::string& OwnKeysFile(int set) const { return set == 0 ? ownKeys_[0] : ownKeys_[1]; }
  const std::string& RecipientsFile(int set) const { return set == 0 ? recips_[0] : recips_[1]; }
  const std::string& TrustFile(int set) const { return set == 0 ? trust_[0] : trust_[1]; }
  // Caption of the product's message boxes: "WS.INI" "WorkStation" "INSTALLED".
  std::string MessageCaption();

  // Where the engine's power tables live.
  std::string tableDirectory;
  void SetTableDirectory(std::string directory) { tableDirectory = std::move(directory); }
  // 0: write imported keys into the first recipients file, 1: the second, 2: both.
  int storageMode = 0;
  // Above 1: keys' authority signatures are verified and sent in headers.
  int signatureMode = 2;
  // Whether the component shares its logon with the product's other programs.
  bool shareSessions = true;
  const std::string& PolicyName() const { return policyName_; }
  const std::string& DefaultEmail() const { return defaultEmail_; }
  int UserLevel() const { return userLevel_; }
  PolicyStore Policies() const;

  // ---- logon ----
  bool Logon(LogonRecord& record);
  bool CheckPassword(const std::string& userName, std::string_view password);
  bool InteractiveLogon();
  int CardStatus();
  // Ends the logon: the password hash and the database passwords are wiped.
  void Logoff();
  LogonRecord ReadSession();
  void WriteSession(const LogonRecord& record);
  bool LoggedOn() const { return loggedOn_; }
  const std::string& CurrentUser() const { return currentUser_; }
  const SecretBuffer& PasswordHash() const { return passwordHash_; }
  const SecretBuffer& DatabasePassword(int set) const { return dbPassword_[set == 0 ? 0 : 1]; }
  // Raised after every successful Logon.
  std::function<void()> onOpenSession;

  // ---- key databases ----
  // Random bytes from the component's random generator (seeded from its
  // cursor-fed entropy pool); the system's random source stands in when that
  // generator fails.
  SecretBuffer RandomBytes(std::size_t count = 100);
  // Opens the own-key pair ("MYKEYS.DAT", shared "MYKeys.DAT") or the
  // recipients pair ("RECIPS.DAT", shared "Recips.DAT") with the logon's
  // passwords and fresh random bytes.
  bool OpenOwnKeys(TKeysDB& db);
  bool OpenRecipients(TKeysDB& db);
  // The key the component works on (key creation leaves its result here).
  KeyRecord currentKey;

  // ---- public-key texts ----
  // Reads the file (a Windows path) as lines and imports them.
  void ImportKeyFile(const std::string& fileName);
  // Splits the lines into blocks and imports each; malformed blocks are
  // skipped, the others still imported.
  void ImportKeyText(const std::vector<std::string>& lines);
  // Enters or updates one VRX key (or a key of another type given as
  // letters) in the recipients databases.
  void ImportPublicKey(std::string_view label, std::string_view group,
                       std::string_view containerType, std::string_view aliases,
                       std::string_view version, std::string_view expiry, std::string_view keyId,
                       std::string_view publicKey2, std::string_view publicKey1);
  // A DSA block: the label and the block's lines from line 2 on (KEY_ID,
  // expiry, VERSION, addresses, public-key text, signature, signer's name,
  // KEY_ID and address, group).
  void ImportDSAKey(std::string_view label, const std::vector<std::string>& lines);
  // An authority's signature on a recipient key.
  void VerifyKeySigning(const std::string& keyId, const std::string& signature,
                        const std::string& authorityId);
  // An authority's signature returned for one of the user's own keys.
  void ApplySignUpdate(const std::string& keyId, const std::string& signature,
                       const std::string& authorityId);
  // The key header lines for mail from the sender; whether a key was found.
  bool WriteKeyHeaders(Stream& stream, const std::string& senderAddress);
  // Sends the key to each key server of "WS.INI"; failures stay silent.
  void PublishKey(const KeyRecord& key, const std::string& publicKey1,
                  const std::string& publicKey2);
  // The public-key block of a key, from the own keys or else the recipients
  // (empty when neither holds it). An own DSA key that no authority signed
  // goes out signed by itself, as a root key.
  std::vector<std::string> ExportKeyText(const std::string& keyId);
  // The text of a compliance level ("Compliance Desciptions" of the users file).
  std::string ComplianceText(int level);
  // What the imports found, line by line, until the caller clears it.
  std::string importReport;
  // The last key an import did not know yet: a short and a detailed text.
  bool newKey = false;
  std::string newKeyText;
  std::string newKeyDetail;
  KeyServerWaits keyServerWaits;

  // ---- sealing ----
  // A users-file entry for a new user: the sealed password and a database
  // password made from the random data.
  std::string SealUserPassword(std::string_view password, std::span<const std::uint8_t> randomData);
  // Short texts ("USERLEVEL") sealed under the component's fixed pass phrase.
  std::string SealText(std::string_view text) const;
  std::optional<std::string> UnsealText(std::string_view sealed) const;

  platform::Machine& Machine() const { return machine_; }
  const std::string& ProgramDir() const { return programDir_; }
  ui::Ui& Ui() const { return ui_; }

 protected:
  // Host path of a Windows path of the machine (empty when it has none).
  std::string Host(const std::string& windowsPath) const;
  bool FileExists(const std::string& windowsPath) const;
  // The entry of a user in section "Users" of a users file, nullopt when
  // missing.
  std::optional<std::string> UserEntry(const std::string& usersFile, const std::string& user) const;
  void Message(std::string_view text, std::string_view caption = {});

 private:
  // External authentication library.
  struct ExtAuth;
  std::unique_ptr<ExtAuth> LoadExtAuth();
  void FreeExtAuth(std::unique_ptr<ExtAuth> library);
  std::optional<bool> ExternalLogon();
  bool LogonWindow();
  bool OpenPair(TKeysDB& db, const std::string* files);
  void ReadVrxBlock(const std::vector<std::string>& lines);
  // Writes a recipient key with its plain public block into the file(s) the
  // storage mode names.
  void StoreRecipient(TKeysDB& db, KeyRecord& record, std::span<const std::uint8_t> publicBlock);
  // Steps shared by VerifyKeySigning and ApplySignUpdate; `report` says
  // whether invalid and unknown authorities are reported.
  void ApplySignature(TKeysDB& recipients, KeyRecord& key, std::string_view publicKey,
                      const std::string& signature, const std::string& authorityId, bool report);
  void Report(std::string_view text) { importReport += text; }
  LogonSession& Session();
  void FillRecord(LogonRecord& record) const;

  platform::Machine& machine_;
  ui::Ui& ui_;
  platform::LibraryLoader& libraries_;
  std::string programDir_;
  std::string wsIni_;
  std::string mainUsers_;
  std::string sharedUsers_;
  std::string usersFile_;
  std::string ownKeys_[2];
  std::string recips_[2];
  std::string trust_[2];
  std::string policyName_ = "Default";
  std::string defaultEmail_;
  int userLevel_ = 0;
  bool loggedOn_ = false;
  std::string currentUser_;
  SecretBuffer passwordHash_;
  SecretBuffer dbPassword_[2];
  std::unique_ptr<LogonSession> session_;
  std::unique_ptr<ComponentRandom> random_;
};

// The key manager component of the wizard: the key component with the
// operations the installation adds (key creation, imports).
class TNimbraMGR : public TNimbraCrypto {
 public:
  using TNimbraCrypto::TNimbraCrypto;

  // Key type numbers of CreateKey.
  enum KeyType { kVrxStrong = 0, kVrxExtreme = 1, kDsaSigning = 2, kPgpPrivate = 3 };
  // Makes a key pair of the type, stores it with both blocks in the user's
  // own-key database and its public key in the recipients database. The new
  // key stays in currentKey, its letter texts in createdPublicKey1/2 (and the
  // DSA texts in dsaPublicText/dsaPrivateText). False when any step failed.
  bool CreateKey(std::uint8_t source, int keyType, const std::string& expiry,
                 const std::string& policy, const std::vector<std::string>& addresses,
                 std::uint8_t keyClass, const std::string& ownerName, const std::string& group,
                 const std::string& entityName);
  std::string createdPublicKey1;
  std::string createdPublicKey2;
  // The PGP toolkit that makes type 3 keys; without one (or while its
  // library is not loaded) CreateKey of type 3 makes nothing and fails.
  PgpKeyMaker* pgpKeys = nullptr;

  // ---- key files of the older generation ----
  // The plain letter texts of a block protected under the old password;
  // raises when the block cannot be decrypted.
  LetterTexts ConvertOldBlock(std::string_view first, std::string_view second,
                              std::string_view oldPassword);
  // The user's own keys of "mykeys.ini" and the correspondents' keys of
  // "people.ini" (Windows paths) into the key databases. False when a
  // decryption error ended the file's import.
  bool ImportOldOwnKeys(const std::string& myKeysIni, std::string_view oldPassword);
  bool ImportOldPeople(const std::string& peopleIni, std::string_view oldPassword);
  std::string dsaPublicText;
  std::string dsaPrivateText;
};

}  // namespace nimbra::keys
