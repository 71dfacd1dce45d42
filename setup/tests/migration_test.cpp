// Installing over an earlier installation or an older generation: the keys
// that are kept, migrated or made new, read back from the key databases.

#include <gtest/gtest.h>

#include "engine/keys/secret_key.h"
#include "keys/tests/crypto_fixture.h"
#include "platform/files/path.h"
#include "setup/tests/wizard_fixture.h"
#include "testsupport/run_program.h"

namespace nimbra::setup::testing {
namespace {

// A block as the older generation protected it: under the SHA-1 text of its
// password, in letter form.
keys::LetterTexts OldBlock(const std::vector<std::uint8_t>& plain, const std::string& password) {
  const std::vector<std::uint8_t> random(20, 0x42);
  engine::TSecretKey secret;
  secret.RandomBytes = random.data();
  std::vector<std::uint8_t> result;
  secret.EncryptBytes(result, plain.data(), keys::Sha1Hex(password), plain.size());
  return keys::ToLetters(result);
}

std::vector<std::uint8_t> Bytes(const keys::LetterTexts& letters) {
  const SecretBuffer bytes = keys::FromLetters(letters.first, letters.second);
  return {bytes.Bytes().begin(), bytes.Bytes().end()};
}

std::string Entry(const std::string& name, const keys::LetterTexts& letters) {
  return name + "1=" + letters.first + "\r\n" + name + "2=" + letters.second + "\r\n";
}

class MigrationTest : public WizardTest {
 protected:
  // Rows of one key database of the data location, read with sqlite3.
  std::string Rows(const std::string& table, const std::string& columns) {
    const std::string file =
        platform::WithTrailingBackslash(wizard->Form().At("DataLocation").text) + table;
    const auto host = machine->HostPath(file);
    if (!host || !machine->FileExists(file)) return "(no file)";
    return testsupport::RunCommand("sqlite3 '" + host->string() + "' 'select " + columns +
                                   " from [" + table + "] order by 1, 2'")
        .out;
  }
};

TEST_F(MigrationTest, OlderGenerationsKeysAreMigratedIntoTheKeyDatabases) {
  if (!testsupport::OnPath("sqlite3")) GTEST_SKIP() << "sqlite3 is not installed";
  ScriptType(1);
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "Version", "2.1");
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "InstallDir", "C:\\VRX\\");
  machine.PutFile("C:\\VRX\\SAB.INI", "[Registration]\r\nVersion=2.15\r\n[Users]\r\nAnn Old=1\r\n");
  const keys::LetterTexts own = keys::test::EnginePublicKey(0x71);
  machine.PutFile(
      "C:\\VRX\\users\\Ann Old\\mykeys.ini",
      "[KeysName]\r\nAnn Old/anything=0ld0ld00\r\n"
      "[EmailKeys]\r\nann@old.example=0ld0ld00\r\n"
      "[fprivatekey.keyref]\r\nExpires=3/4/2031\r\n[0ld0ld00]\r\n" +
          Entry("PublicKey", OldBlock(Bytes(own), "oldpw")) +
          Entry("EncryptedPrivateKey", OldBlock(std::vector<std::uint8_t>(40, 0x11), "oldpw")));
  machine.PutFile(
      "C:\\VRX\\users\\Ann Old\\people.ini",
      "[PeopleName]\r\nBob=bob@y.example\r\n"
      "[bob@y.example]\r\nKeyRef=B0B00001\r\nExpires=01/01/2030\r\n"
      "Version=VRX Strong -1\r\n" +
          Entry("PublicKey", OldBlock(Bytes(keys::test::EnginePublicKey(0x72)), "oldpw")));
  const Result r = Run(std::string(kDesktopAnswers) +
                       "[Answers]\r\nOldVersionDetected=Ignore\r\n"
                       "[TabSheetOverWrite]\r\nPress=OkMigrate\r\n"
                       "[TOldLogonScreen]\r\nPassword=oldpw\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  // The older generation's own key and its correspondent, and no new key.
  EXPECT_EQ(Rows("MYKEYS.DAT", "KEY_ID, ENTITY_NAME"), "0ld0ld00|Ann Old\n");
  EXPECT_NE(Rows("RECIPS.DAT", "KEY_ID, ENTITY_NAME").find("B0B00001|Bob\n"), std::string::npos);
}

TEST_F(MigrationTest, AnUpgradeKeepsItsKeysAndCreateNewKeysMakesNewOnes) {
  if (!testsupport::OnPath("sqlite3")) GTEST_SKIP() << "sqlite3 is not installed";
  ScriptType(1);
  Result r = Run(kDesktopAnswers);
  ASSERT_EQ(r.code, 0) << r.reason;
  const std::string user = wizard->Form().At("UserName").text;
  const std::string first = Rows("MYKEYS.DAT", "KEY_ID, VERSION");
  ASSERT_NE(first.find("VRX"), std::string::npos) << first;

  r = Run("[TabSheetOverWrite]\r\nPress=OkMigrate\r\n[TLogonForm]\r\nUsers=" + user +
          "\r\nPassword=secret\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages.back(), "TabSheet19");
  EXPECT_EQ(Rows("MYKEYS.DAT", "KEY_ID, VERSION"), first);

  r = Run(std::string(kDesktopAnswers) +
          "[TabSheetOverWrite]\r\nPress=NewInstall\r\n"
          "[Answers]\r\nJoinExistingDatabase=No\r\nOverwriteDataFiles=Yes\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  const std::string renewed = Rows("MYKEYS.DAT", "KEY_ID, VERSION");
  EXPECT_NE(renewed.find("VRX"), std::string::npos) << renewed;
  // Each key is new: none of the earlier KEY_IDs is left.
  for (std::size_t at = 0; at < first.size();) {
    const std::size_t end = first.find('|', at);
    const std::string id = first.substr(at, end - at);
    EXPECT_EQ(renewed.find(id + "|"), std::string::npos) << id;
    at = first.find('\n', end) + 1;
  }
}

}  // namespace
}  // namespace nimbra::setup::testing
