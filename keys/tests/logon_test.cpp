#include <gtest/gtest.h>

#include <cstring>

#include "core/secret_buffer.h"
#include "core/strings.h"
#include "keys/clock.h"
#include "keys/ext_auth.h"
#include "keys/key_cache.h"
#include "keys/keys_db.h"
#include "keys/nimbra_crypto.h"
#include "keys/table_pool.h"
#include "keys/tests/fake_ui.h"
#include "keys/tests/open_handles.h"
#include "keys/text_seal.h"
#include "platform/ipc/shared_memory.h"
#include "platform/processes/library.h"
#include "platform/profile/profile_file.h"
#include "testsupport/test_machine.h"

namespace nimbra::keys {
namespace {

const std::string kProgram = "C:\\Program Files\\NimbraPost\\";
const std::string kData = "C:\\NimbraPost\\Data\\";
const std::string kShared = "C:\\Shared\\";
const SecretBuffer kDbPass = MakeDatabasePassword(std::vector<std::uint8_t>(100, 9));

class LogonTest : public ::testing::Test {
 protected:
  LogonTest()
      : loader(platform::SearchPath{kProgram, kProgram, "C:\\windows\\system32", "C:\\windows", ""},
               [this](const std::string& path) { return m->HostPath(path).value_or(""); }) {
    m.SetString("HKLM\\Software\\NimbraPost\\Current Version", "exePath", kProgram);
    m.PutFile(kProgram + "WS.INI", "[WORKSTATION]\r\nINSTALLED=NimbraPost\r\nUsersFile=" + kData +
                                       "Users.ini\r\nSecondUsers=" + kShared + "Users.ini\r\n");
    m.PutDirectory(kData);
    m.PutDirectory(kShared);
    RegisterExtAuthStandIn(loader);
    crypto = std::make_unique<TNimbraMGR>(*m, ui, loader, kProgram);
    crypto->shareSessions = false;
  }
  ~LogonTest() override {
    crypto.reset();
    CloseAllTables();
  }

  // A users file with entries "user=password" (password sealed for the
  // database password kDbPass).
  void Users(const std::string& file, const std::vector<std::pair<std::string, std::string>>& users,
             const std::string& extra = "") {
    std::string text = "[FileVersion]\r\nFormat=4\r\n[Users]\r\n";
    for (const auto& [user, password] : users)
      text += user + "=" + SealUserEntry(password, kDbPass.Text()) + "\r\n";
    m.PutFile(file, text + extra);
  }
  std::string Ini(const std::string& file, const std::string& section, const std::string& key) {
    return platform::ProfileFile(*m->HostPath(file)).ReadString(section, key, "<missing>");
  }
  void EnableExtAuth(const std::string& behaviour) {
    m.SetDword("HKLM\\Software\\NimbraPost\\Current Version", "ThirdPartyAuth", 1);
    m.PutFile(kProgram + "ExtAuth.dll", behaviour);
  }
  // Answers the logon window with this password (OK), once per entry;
  // Cancel after the last.
  void AnswerWindow(std::vector<std::string> passwords) {
    ui.onModal = [this, passwords](ui::Form& form) {
      const std::size_t round = std::size_t(ui.modalCount - 1);
      windowUsers = form.At("Users").items.size();
      windowSelection = form.At("Users").Selected();
      if (round >= passwords.size()) return ui::ModalResult::Cancel;
      form.At("Password").text = passwords[round];
      return ui::ModalResult::Ok;
    };
  }

  testsupport::TestMachine m;
  test::FakeUi ui;
  platform::LibraryLoader loader;
  std::unique_ptr<TNimbraMGR> crypto;
  std::size_t windowUsers = 0;
  std::string windowSelection;
};

TEST_F(LogonTest, CheckPasswordAcceptsThePasswordOrItsHash) {
  Users(kData + "Users.ini", {{"Ann", "secret"}});
  EXPECT_FALSE(crypto->CheckPassword("Ann", "wrong"));
  EXPECT_FALSE(crypto->LoggedOn());
  EXPECT_FALSE(crypto->CheckPassword("", "secret"));
  EXPECT_FALSE(crypto->CheckPassword("Nobody", "secret"));
  ASSERT_TRUE(crypto->CheckPassword("Ann", "secret"));
  EXPECT_EQ(crypto->PasswordHash(), Sha1Hex("secret"));
  EXPECT_EQ(crypto->DatabasePassword(0), kDbPass);
  EXPECT_EQ(crypto->DatabasePassword(1), "");  // no users file beside the shared keys
  crypto->Logoff();
  ASSERT_TRUE(crypto->CheckPassword("ann", Sha1Hex("secret")));
  EXPECT_EQ(crypto->DatabasePassword(0), kDbPass);
  EXPECT_EQ(crypto->OwnKeysFile(0), kData + "MYKEYS.DAT");
  EXPECT_EQ(crypto->RecipientsFile(1), kShared + "Recips.DAT");
  EXPECT_EQ(crypto->TrustFile(1), kShared + "TRUST.INI");
}

TEST_F(LogonTest, FailedCheckForAnotherUserEndsTheLogonInForce) {
  Users(kData + "Users.ini", {{"Ann", "a"}, {"Bob", "b"}});
  ASSERT_TRUE(crypto->CheckPassword("Ann", "a"));
  EXPECT_FALSE(crypto->CheckPassword("Bob", "wrong"));
  EXPECT_EQ(crypto->CurrentUser(), "Bob");
  EXPECT_FALSE(crypto->LoggedOn());
  EXPECT_EQ(crypto->PasswordHash(), "");
  EXPECT_EQ(crypto->DatabasePassword(0), "");
  EXPECT_EQ(crypto->DatabasePassword(1), "");
  // Nor do Ann's keys open under Bob's name.
  TKeysDB db;
  ASSERT_TRUE(crypto->OpenOwnKeys(db));
  EXPECT_EQ(db.FirstName(), "");
  EXPECT_EQ(db.SecondName(), "");
  // A failed check for an unknown user ends it too.
  ASSERT_TRUE(crypto->CheckPassword("Ann", "a"));
  EXPECT_FALSE(crypto->CheckPassword("Nobody", "a"));
  EXPECT_FALSE(crypto->LoggedOn());
  EXPECT_EQ(crypto->DatabasePassword(0), "");
}

// Every secret lives in a wiping buffer; none of them outlives the open
// database or the logon, in the process-wide caches or anywhere else.
TEST_F(LogonTest, SecretsDoNotOutliveCloseAndLogoff) {
  Users(kData + "Users.ini", {{"Ann", "a"}});
  const std::size_t before = SecretBytesInUse();
  ASSERT_TRUE(crypto->CheckPassword("Ann", "a"));
  const std::size_t loggedOn = SecretBytesInUse();
  EXPECT_GT(loggedOn, before);  // the hash and the database password
  {
    TKeysDB db;
    ASSERT_TRUE(crypto->OpenOwnKeys(db));
    KeyRecord key;
    key.keyId = "K";
    key.containerType = "VRX";
    key.aliases = "ann@x.com";
    const std::vector<std::uint8_t> block(64, 7);
    db.SetBlocks(key, block.data(), 64, block.data(), 64);
    ASSERT_TRUE(db.WriteKey(key));
    ClearAllCaches();
    KeyRecord read;
    ASSERT_TRUE(db.ReadKey("K", read));
    EXPECT_EQ(db.PublicBlockText(read), std::string(64, 7));
    EXPECT_GT(SecretBytesInUse(), loggedOn);  // the open database's passwords
    ASSERT_TRUE(db.Close());
    EXPECT_EQ(SecretBytesInUse(), loggedOn);
  }
  crypto->Logoff();
  EXPECT_EQ(SecretBytesInUse(), before);
}

TEST_F(LogonTest, UsersFileOnANetworkDriveKeepsNoConnectionOpen) {
  m->AddDrive('N', m.Root() / "drive_n", platform::DriveType::Remote, "", "\\\\server\\data");
  m.PutFile(kProgram + "WS.INI", "[WORKSTATION]\r\nUsersFile=N:\\Data\\Users.ini\r\n");
  Users("N:\\Data\\Users.ini", {{"Ann", "a"}});
  ASSERT_TRUE(crypto->CheckPassword("Ann", "a"));
  TKeysDB db;
  ASSERT_TRUE(crypto->OpenOwnKeys(db));
  KeyRecord key;
  key.keyId = "N1";
  key.containerType = "VRX";
  ASSERT_TRUE(db.WriteKey(key));
  ClearAllCaches();
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("N1", read));
  EXPECT_EQ(test::OpenHandles(m->HostPath("N:\\Data\\MYKEYS.DAT")->string()), 0);
}

TEST_F(LogonTest, SecondSetPasswordComesFromTheSharedUsersFile) {
  Users(kData + "Users.ini", {{"Ann", "secret"}});
  const std::string hash = Sha1Hex("secret");
  const std::string sharedPass(40, 'S');
  m.PutFile(kShared + "USERS.INI", "[Users]\r\nAnn=" + SealText(hash + sharedPass, hash) + "\r\n");
  ASSERT_TRUE(crypto->CheckPassword("Ann", "secret"));
  EXPECT_EQ(crypto->DatabasePassword(1), sharedPass);
  // Sealed under another hash: the second set is not used.
  m.PutFile(kShared + "USERS.INI", "[Users]\r\nAnn=" + SealText(hash + sharedPass, "x") + "\r\n");
  ASSERT_TRUE(crypto->CheckPassword("Ann", "secret"));
  EXPECT_EQ(crypto->DatabasePassword(1), "");
}

TEST_F(LogonTest, EntryOnlyInSharedFileIsCopiedUnlessCacheOnly) {
  Users(kData + "Users.ini", {{"Ann", "a"}});
  Users(kShared + "Users.ini", {{"Bob", "b"}, {"Cid", "c"}});
  ASSERT_TRUE(crypto->CheckPassword("Bob", "b"));
  EXPECT_EQ(Ini(kData + "Users.ini", "Users", "Bob"), Ini(kShared + "Users.ini", "Users", "Bob"));

  Users(kData + "Users.ini", {{"Ann", "a"}}, "[DBTYPE]\r\nCACHEONLY=1\r\n");
  ASSERT_TRUE(crypto->CheckPassword("Cid", "c"));
  EXPECT_EQ(Ini(kData + "Users.ini", "Users", "Cid"), "<missing>");
}

TEST_F(LogonTest, UserWithoutPasswordLogsOnWithEmptyPasswordBox) {
  Users(kData + "Users.ini", {{"Ann", std::string(kNilPassphrase)}, {"Bob", "b"}});
  m.PutFile(kData + "Users.ini", m.ReadFile(kData + "Users.ini") +
                                     "[Ann]\r\nUSERLEVEL=" + SealSettingText("65535Ann") + "\r\n");
  AnswerWindow({""});
  crypto->shareSessions = true;
  int sessions = 0;
  crypto->onOpenSession = [&] { ++sessions; };
  LogonRecord record;
  ASSERT_TRUE(crypto->Logon(record));
  EXPECT_EQ(ui.modalCount, 1);
  EXPECT_EQ(windowUsers, 2u);
  EXPECT_EQ(record.userName, "Ann");
  EXPECT_EQ(record.password, Sha1Hex(kNilPassphrase));
  EXPECT_TRUE(record.logonTime.has_value());
  EXPECT_EQ(sessions, 1);
  EXPECT_EQ(crypto->UserLevel(), 65535);
  EXPECT_EQ(Ini(kProgram + "WS.INI", "WorkStation", "DefaultUser"), "Ann");
  // The session is shared: a second component takes it without a window.
  const LogonRecord shared = crypto->ReadSession();
  EXPECT_EQ(shared.userName, "Ann");
  EXPECT_EQ(shared.password, Sha1Hex(kNilPassphrase));
  TNimbraMGR other(*m, ui, loader, kProgram);
  LogonRecord second;
  ASSERT_TRUE(other.Logon(second));
  EXPECT_EQ(second.userName, "Ann");
  EXPECT_EQ(ui.modalCount, 1);
  // Already logged on: the record is filled at once.
  LogonRecord again{"Bob", "wrong", std::nullopt};
  ASSERT_TRUE(crypto->Logon(again));
  EXPECT_EQ(again.userName, "Ann");
}

TEST_F(LogonTest, LogonWindowRepeatsOnWrongPasswordAndFailsOnCancel) {
  Users(kData + "Users.ini", {{"Ann", "a"}});
  Users(kShared + "Users.ini", {{"ann", "a"}, {"Bob", "b"}});
  AnswerWindow({"wrong", "a"});
  LogonRecord record{"Ann", "", std::nullopt};
  ASSERT_TRUE(crypto->Logon(record));
  EXPECT_EQ(ui.modalCount, 2);
  EXPECT_EQ(windowUsers, 2u);  // "ann" of the shared file is listed once
  EXPECT_EQ(windowSelection, "Ann");
  EXPECT_TRUE(ui.Saw("The password you entered was incorrect"));
  EXPECT_EQ(ui.messages.back().caption, "Password Error");

  crypto->Logoff();
  ui.modalCount = 0;
  AnswerWindow({});
  LogonRecord cancelled{"Ann", "", std::nullopt};
  EXPECT_FALSE(crypto->Logon(cancelled));
  EXPECT_EQ(cancelled.userName, "");
  EXPECT_FALSE(crypto->LoggedOn());
}

TEST_F(LogonTest, NoUsersAndNoUsersFilesFailWithTheirMessages) {
  LogonRecord record;
  EXPECT_FALSE(crypto->Logon(record));
  EXPECT_TRUE(
      ui.Saw("Unable to connect to your user files. If you are a Network user please "
             "check your server connections."));
  EXPECT_EQ(ui.messages.back().caption, "NimbraPost");
  m.PutFile(kData + "Users.ini", "[FileVersion]\r\nFormat=4\r\n");
  EXPECT_FALSE(crypto->Logon(record));
  EXPECT_TRUE(ui.Saw("No Users Set up, please run the Control Panel"));
  EXPECT_EQ(ui.messages.back().caption, "Fatal Error");
  EXPECT_EQ(ui.modalCount, 0);
}

TEST_F(LogonTest, ExternalLibrarySuppliesTheUserAndRetriesRejections) {
  Users(kData + "Users.ini", {{"Ann", "a"}});
  EnableExtAuth(
      "[Logon]\r\nAnswers=3\r\nUser1=Ann\r\nPassword1=wrong\r\nUser2=\r\nPassword2=a\r\n"
      "User3=Ann\r\nPassword3=a\r\n");
  LogonRecord record{"Ann", "", std::nullopt};
  ASSERT_TRUE(crypto->Logon(record));
  EXPECT_EQ(record.userName, "Ann");
  EXPECT_EQ(ui.modalCount, 0);
  int failures = 0;
  for (const auto& shown : ui.messages)
    if (shown.text == "Your Logon failed to Authenticate." &&
        shown.caption == "Authentication Error")
      ++failures;
  EXPECT_EQ(failures, 2);
  const std::string calls = m.ReadFile(kProgram + "ExtAuth.dll.log");
  EXPECT_EQ(calls, "NB_InitializeLogon\nNB_LogonUser\nNB_LogonUser\nNB_LogonUser\nNB_FreeLogon\n");
}

TEST_F(LogonTest, ExternalLibraryGivingNothingOrFailingEndsWithoutWindow) {
  Users(kData + "Users.ini", {{"Ann", "a"}});
  EnableExtAuth("[Logon]\r\nAnswers=0\r\n");
  LogonRecord record{"Ann", "", std::nullopt};
  EXPECT_FALSE(crypto->Logon(record));
  EXPECT_EQ(ui.modalCount, 0);

  EnableExtAuth("[Logon]\r\nFail=1\r\n[Initialize]\r\nFail=1\r\n[Free]\r\nFail=1\r\n");
  EXPECT_FALSE(crypto->InteractiveLogon());
  EXPECT_TRUE(ui.Saw("External Authentication OPEN DLL Function Error :initialisation refused"));
  EXPECT_TRUE(ui.Saw("External Authentication Function Error :card not readable"));
  EXPECT_TRUE(ui.Saw("External Authentication Close DLL Function Error :release refused"));

  EnableExtAuth("[Logon]\r\nMissing=1\r\n");
  EXPECT_FALSE(crypto->InteractiveLogon());
  EXPECT_EQ(ui.modalCount, 0);

  // Without the library file the logon window is used.
  m->DeleteFile(kProgram + "ExtAuth.dll");
  AnswerWindow({"a"});
  EXPECT_TRUE(crypto->InteractiveLogon());
  EXPECT_EQ(ui.modalCount, 1);
}

TEST_F(LogonTest, CardStatusEndsTheSharedSession) {
  Users(kData + "Users.ini", {{"Ann", "a"}});
  EXPECT_EQ(crypto->CardStatus(), 0);  // no library switched on
  crypto->shareSessions = true;
  // Another program of the product logged Ann on.
  crypto->WriteSession({"Ann", Sha1Hex("a"), Now()});
  LogonRecord record;
  ASSERT_TRUE(crypto->Logon(record));
  EXPECT_EQ(record.userName, "Ann");
  crypto->Logoff();

  EnableExtAuth("[Status]\r\nCode=-1\r\n[Logon]\r\nAnswers=0\r\n");
  EXPECT_EQ(crypto->CardStatus(), -1);
  LogonRecord stored = crypto->ReadSession();
  EXPECT_FALSE(crypto->Logon(stored));
  EXPECT_TRUE(ui.Saw("No Card in Reader. Please Insert Card."));
  EXPECT_EQ(crypto->ReadSession().userName, "");
  EXPECT_FALSE(crypto->LoggedOn());

  EnableExtAuth("[Status]\r\nFail=1\r\n");
  EXPECT_EQ(crypto->CardStatus(), -2);
  EXPECT_TRUE(ui.Saw("External StatusChange Function Error :reader not responding"));
  EnableExtAuth("[Status]\r\nCode=7\r\n");
  LogonRecord timed{"", "", Now()};
  crypto->Logon(timed);
  EXPECT_TRUE(ui.Saw("Incorrect Card in Reader!"));
}

TEST_F(LogonTest, SessionBlockLayout) {
  LogonRecord record{"Ann", std::string(90, 'p'), DateTime{2000, 1, 1, 12, 0, 0, 0}};
  crypto->WriteSession(record);
  platform::SharedMemory raw(m.Root(), "xpslg", 172);
  ASSERT_TRUE(raw.Existed());
  ASSERT_EQ(raw.Size(), 172u);
  const auto bytes = raw.Bytes();
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[1]), 3), "Ann");
  EXPECT_EQ(bytes[81], 80);  // cut to 80 characters
  double time = 0;
  std::memcpy(&time, &bytes[164], 8);
  EXPECT_DOUBLE_EQ(time, 36526.5);
  const LogonRecord read = crypto->ReadSession();
  EXPECT_EQ(read.password, std::string(80, 'p'));
  EXPECT_EQ(read.logonTime, record.logonTime);
}

TEST_F(LogonTest, SealedSettingsAndPolicyStore) {
  const std::string sealed = crypto->SealText("00000NBService");
  EXPECT_EQ(sealed.size(), 2 * (14 + 20));
  for (char c : sealed) EXPECT_TRUE(c >= 'A' && c <= 'P');
  EXPECT_EQ(crypto->UnsealText(sealed), "00000NBService");
  EXPECT_FALSE(crypto->UnsealText("ABC"));
  EXPECT_FALSE(crypto->UnsealText(std::string(60, 'Z')));
  // A level sealed for another name gives no level.
  Users(kData + "Users.ini", {{"Ann", "a"}},
        "[Ann]\r\nUSERLEVEL=" + SealSettingText("65535Bob") + "\r\nPOLICY=Strict\r\n");
  ASSERT_TRUE(crypto->CheckPassword("Ann", "a"));
  EXPECT_EQ(crypto->UserLevel(), 0);
  EXPECT_EQ(crypto->PolicyName(), "Strict");

  PolicyStore store = crypto->Policies();
  EXPECT_FALSE(store.FindPolicy("Default"));
  Policy policy;
  policy.name = "Default";
  store.AddPolicy(policy);
  ASSERT_TRUE(store.FindPolicy("default"));
  EXPECT_FALSE(store.FindMailRule("*@*"));
  MailRule added;
  added.pattern = "*@*";
  added.ruleName = "CTL Content";
  added.inPolicyFile = "DefaultIN.csp";
  added.outPolicyFile = "DefaultOUT.csp";
  added.timeStamp = "26121607";
  store.AddMailRule(added);
  auto rule = store.FindMailRule("*@*");
  ASSERT_TRUE(rule);
  EXPECT_EQ(rule->outPolicyFile, "DefaultOUT.csp");
  EXPECT_EQ(rule->action, "Encrypt");
}

TEST_F(LogonTest, LoggedOnComponentOpensItsKeyDatabases) {
  Users(kData + "Users.ini", {{"Ann", "a"}});
  ASSERT_TRUE(crypto->CheckPassword("Ann", "a"));
  TKeysDB db;
  ASSERT_TRUE(crypto->OpenOwnKeys(db));
  EXPECT_EQ(db.FirstName(), "MYKEYS.DAT");
  EXPECT_EQ(db.SecondName(), "");  // no second password
  KeyRecord key;
  key.keyId = "K";
  key.containerType = "VRX";
  key.aliases = "ann@x.example";
  const std::uint8_t block[30] = {1, 2, 3};
  db.SetBlocks(key, block, 30, block, 30);
  ASSERT_TRUE(db.WriteKey(key));
  EXPECT_TRUE(m->FileExists(kData + "mykeys.dat"));
  TKeysDB recips;
  ASSERT_TRUE(crypto->OpenRecipients(recips));
  EXPECT_EQ(recips.FirstName(), "RECIPS.DAT");
}

}  // namespace
}  // namespace nimbra::keys
