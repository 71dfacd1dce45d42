#include <gtest/gtest.h>

#include "keys/tests/crypto_fixture.h"
#include "pgp/tests/pgp_fixture.h"
#include "pgp/toolkit_binding.h"
#include "pgp/toolkit_prefs.h"
#include "platform/files/path.h"
#include "setup/tests/wizard_fixture.h"
#include "setup/tsetup_form.h"

namespace nimbra::setup {
namespace {

// The PGP page left with AddPGP checked, then the user's keys made.
class PgpKeyTest : public keys::test::CryptoFixture {
 protected:
  PgpKeyTest() {
    m.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40");
    m.PutFile("D:\\PGPsdk.dl_", "library");
    wizard = std::make_unique<TSetupForm>(ui, *m, "D:\\");
    ui::Form& f = wizard->Form();
    f.At("UserName").text = "Ann";
    f.At("PrimeEmail").text = "c@x.example";
    f.At("EmailAddrs").AddLine("b@x.example");
    f.At("Strong").checked = true;
    f.At("SoftwareLocation").text = "C:\\Program Files\\NimbraPost\\";
    f.At("DataLocation").text = "C:\\Data\\";
    EXPECT_TRUE(wizard->KeyManager().CheckPassword("Ann", "a"));
  }
  void PassPgpPage() {
    const PageHandlers* page = wizard->Context().Handlers("TabSheetPGP");
    page->enter();
    wizard->Form().At("AddPGP").checked = true;
    page->exit();
    ASSERT_TRUE(wizard->Settings().PgpPreferencesSet);
  }
  std::unique_ptr<TSetupForm> wizard;
};

TEST_F(PgpKeyTest, TheBaseKeysIncludeAPgpKeyInTheRingsAndInMyKeys) {
  PassPgpPage();
  wizard->CreateBaseKey();
  const keys::KeyRecord made = wizard->KeyManager().currentKey;
  ASSERT_EQ(made.keyId.size(), 16u) << made.keyId;
  keys::KeyRecord stored;
  keys::TKeysDB db;
  ASSERT_TRUE(wizard->KeyManager().OpenOwnKeys(db));
  ASSERT_TRUE(db.ReadKey(made.keyId, stored));
  EXPECT_EQ(stored.containerType, "PGP");
  EXPECT_EQ(stored.version, "PGP Private Key -1");
  EXPECT_EQ(stored.entityName, "Ann");
  EXPECT_EQ(stored.aliases, "b@x.example,c@x.example");
  // Both blocks hold the pass phrase: 22 upper-case hexadecimal digits.
  const std::string passPhrase = db.PublicBlockText(stored);
  EXPECT_EQ(passPhrase.size(), 22u);
  EXPECT_EQ(passPhrase.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  db.Close();

  if (!testsupport::OnPath("gpg")) GTEST_SKIP() << "gpg is not installed: the ring is not checked";
  const auto listed = pgp::testing::ListWithGpg(*m->HostPath("C:\\Data\\pubring.pkr"));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].keyId, made.keyId);
  EXPECT_EQ(listed[0].userId, "Ann <b@x.example>");
}

TEST_F(PgpKeyTest, NoPgpKeyWithoutTheToolkitOrWhenItFails) {
  keys::TNimbraMGR& manager = wizard->KeyManager();
  const std::vector<std::string> addresses = {"a@x.example"};
  // The library is not loaded: nothing is made.
  EXPECT_FALSE(manager.CreateKey(0, keys::TNimbraMGR::kPgpPrivate, "01/01/2030", "Default",
                                 addresses, 1, "Ann", "", "Ann"));
  PassPgpPage();
  // A ring that is no key ring: no key, and no record with an empty KEY_ID.
  m.PutFile("C:\\Data\\pubring.pkr", "damaged");
  EXPECT_FALSE(manager.CreateKey(0, keys::TNimbraMGR::kPgpPrivate, "01/01/2030", "Default",
                                 addresses, 1, "Ann", "", "Ann"));
  EXPECT_EQ(manager.currentKey.keyId, "");
  keys::TKeysDB db;
  ASSERT_TRUE(manager.OpenOwnKeys(db));
  EXPECT_TRUE(db.KeyIds(0).empty());
}

using testing::WizardTest;

TEST_F(WizardTest, AnUnattendedProfessionalRunSetsThePgpPreferences) {
  ScriptType(2);
  machine.PutFile("D:\\PGPsdk.dl_", "library");
  Result r = Run(std::string(testing::kDesktopAnswers) +
                 "[TabSheetPGP]\r\nAddPGP=1\r\n[Answers]\r\nInstallPgpDrivers=Yes\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(wizard->Settings().PgpPreferencesSet);
  const std::string data = Text("DataLocation");
  const std::string prefs = machine.ReadFile(pgp::ToolkitPrefs::FilePath(*machine));
  EXPECT_NE(prefs.find("PublicKeyRing=" + data + "pubring.pkr\r\n"), std::string::npos) << prefs;
  EXPECT_NE(prefs.find("PrivateKeyRing=" + data + "secring.pkr\r\n"), std::string::npos);
  EXPECT_TRUE(machine->FileExists(Text("SoftwareLocation") + "randseed.bin"));
  bool journaled = false;
  for (const std::string& line : r.log)
    if (line.find("INSTALL B") == 0 && line.find("RENAME") != std::string::npos) journaled = true;
  EXPECT_TRUE(journaled);
}

// The whole unattended run with the PGP page answered: the ring holds the
// user's PGP key and the key database records it under the same KEY_ID.
TEST_F(WizardTest, AnUnattendedRunWithPgpAddedMakesThePgpKey) {
  if (!testsupport::OnPath("gpg") || !testsupport::OnPath("sqlite3"))
    GTEST_SKIP() << "gpg or sqlite3 is not installed: the ring and database are not read";
  ScriptType(2);
  machine.PutFile("D:\\PGPsdk.dl_", "library");
  Result r = Run(std::string(testing::kDesktopAnswers) +
                 "[TabSheetPGP]\r\nAddPGP=1\r\n[Answers]\r\nInstallPgpDrivers=Yes\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  const std::string data = platform::WithTrailingBackslash(Text("DataLocation"));
  const auto listed = pgp::testing::ListWithGpg(*machine->HostPath(data + "pubring.pkr"));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].userId, Text("UserName") + " <jane@example.com>");
  const std::string rows =
      testsupport::RunCommand("sqlite3 '" + machine->HostPath(data + "MYKEYS.DAT")->string() +
                              "' \"select KEY_ID, VERSION from [MYKEYS.DAT] where "
                              "KEY_CONTAINER_TYPE = 'PGP'\"")
          .out;
  EXPECT_EQ(rows, listed[0].keyId + "|PGP Private Key -1\n");
}

}  // namespace
}  // namespace nimbra::setup
