// The "Update Requests" message: its body by edition, free-updates choice
// and run flags, the queued message file, and the distribution record.

#include <gtest/gtest.h>

#include <algorithm>

#include "keys/tests/crypto_fixture.h"
#include "keys/tests/python_email.h"
#include "setup/created_keys.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"
#include "testsupport/run_program.h"

namespace nimbra::setup {
namespace {

const std::string kMessageFile = "C:\\Program Files\\NimbraPost\\Messages\\000000000000.msg";

class UpdateRequestTest : public keys::test::CryptoFixture {
 protected:
  UpdateRequestTest() {
    m.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40");
    wizard = std::make_unique<TSetupForm>(ui, *m, "D:\\");
    ui::Form& f = wizard->Form();
    f.At("UserName").text = "Ann";
    f.At("RegName").text = "Acme";
    f.At("PrimeEmail").text = "ann@acme.example";
    f.At("Strong").checked = true;
    f.At("SoftwareLocation").text = "C:\\Program Files\\NimbraPost";
    wizard->Settings().CertificationAddress = "certify@nimbrapost.example";
  }
  void ChooseFreeUpdates(bool yes) {
    wizard->Form().At("FreeUpdatesYesNo").itemIndex = yes ? 0 : 1;
  }
  std::unique_ptr<TSetupForm> wizard;
};

TEST_F(UpdateRequestTest, BodyByEditionFreeUpdatesAndFlags) {
  InstallSettings& s = wizard->Settings();
  s.PreviousFound = true;  // an upgrade keeps its keys: no key groups
  s.InstallType = 2;
  ChooseFreeUpdates(false);
  EXPECT_EQ(wizard->UpdateRequestBody(),
            (std::vector<std::string>{"VERSION=NOUPDATESThicket4.x", "SOURCED=Generic"}));

  s.InstallType = 4;
  s.Release = "4.2";
  s.Source = "Fair";
  s.FromFriend = true;
  s.Distribute = true;
  ChooseFreeUpdates(true);
  EXPECT_EQ(wizard->UpdateRequestBody(),
            (std::vector<std::string>{"VERSION=Canopy4.2", "SOURCED=Fair", "FROMFRIEND=YES",
                                      "DISTRIB=YES"}));
  s.FromFriend = false;
  EXPECT_EQ(wizard->UpdateRequestBody()[2], "DISTRIB=YES");
  // A new installation whose key creation made no keys sends no empty groups.
  s.PreviousFound = false;
  KeptKeyValues() = {};
  EXPECT_EQ(wizard->UpdateRequestBody().size(), 3u);
}

TEST_F(UpdateRequestTest, NewKeysAddBothSigningGroups) {
  wizard->Settings().InstallType = 0;
  ASSERT_TRUE(wizard->KeyManager().CheckPassword("Ann", "a"));
  wizard->CreateBaseKey();
  const CreatedKeys& kept = KeptKeyValues();
  ASSERT_FALSE(kept.ownPublicKey1.empty());
  ASSERT_FALSE(kept.ownPublicKey2.empty());
  const auto body = wizard->UpdateRequestBody();
  EXPECT_EQ(
      body,
      (std::vector<std::string>{
          "VERSION=Sapling4.x", "SOURCED=Generic", "SIGNKEY2", "NAME=Ann", "EMAIL=ann@acme.example",
          "ALIAS=" + kept.ownAddresses, "VRX1=" + kept.ownPublicKey1, "VRX2=" + kept.ownPublicKey2,
          "KEYREF=" + kept.ownKeyId, "SIGNKEY2",
          "NAME=", "EMAIL=", "ALIAS=" + kept.signingAddresses, "VRX1=" + kept.signingPublicText,
          "VRX2=NIL", "KEYREF=" + kept.signingKeyId}));
  // A new installation chosen over the upgrade also sends the new keys.
  wizard->Settings().PreviousFound = true;
  wizard->Settings().CreateNewKeys = true;
  EXPECT_EQ(wizard->UpdateRequestBody(), body);

  // The certification server has no key here: the file holds the plain
  // message, the own key's headers first, through the journal.
  if (!testsupport::OnPath("python3")) GTEST_SKIP() << "python3 is not installed";
  wizard->RegServer();
  keys::test::TempDir dir;
  dir.Write("req.msg", m->ReadFile(kMessageFile));
  EXPECT_EQ(keys::test::ParseWithPython(
                dir, "req.msg",
                "print(msg['DARO-VRX-PKYR']); print(msg.get_payload().splitlines()[-2])\n"),
            kept.ownKeyId + "\nKEYREF=" + kept.signingKeyId + "\n");
  const auto& journal = wizard->Install().Journal().Lines();
  EXPECT_TRUE(std::any_of(journal.begin(), journal.end(), [](const std::string& line) {
    return line.find("WRITE\t" + kMessageFile + "\tabsent") != std::string::npos;
  }));
}

TEST_F(UpdateRequestTest, DistributionRecordImportsTheFriendsKey) {
  ASSERT_TRUE(wizard->KeyManager().CheckPassword("Ann", "a"));
  wizard->CreateBaseKey();
  const CreatedKeys& kept = KeptKeyValues();
  m.PutFile("C:\\windows\\Distrib.ini",
            "[Distrib]\r\nName=Bob\r\nEmail=bob@x.example\r\nAliases=\r\nExpire=01/01/2099\r\n"
            "KeyRef=0badf00d\r\nPky1=" +
                kept.ownPublicKey1 + "\r\nPKy2=" + kept.ownPublicKey2 + "\r\n");
  wizard->SaveFriends();
  EXPECT_TRUE(wizard->Settings().FromFriend);
}

TEST_F(UpdateRequestTest, QueuedMessageParsesAndIsWrittenOnce) {
  if (!testsupport::OnPath("python3")) GTEST_SKIP() << "python3 is not installed";
  wizard->Settings().InstallType = 1;
  wizard->Settings().PreviousFound = true;
  ChooseFreeUpdates(false);
  wizard->RegServer();
  ASSERT_TRUE(m->FileExists(kMessageFile));
  const std::string text = m->ReadFile(kMessageFile);
  EXPECT_TRUE(text.starts_with("certify@nimbrapost.example\r\n\r\n")) << text.substr(0, 80);

  keys::test::TempDir dir;
  dir.Write("req.msg", text);
  const auto out = keys::test::ParseWithPython(
      dir, "req.msg",
      "print(msg['From']); print(msg['To']); print(msg['Reply-To']); print(msg['Subject'])\n"
      "print(msg.get_content_type(), msg.get_param('charset'))\n"
      "print(msg.get_payload().splitlines()[:2])\n");
  EXPECT_EQ(out,
            "\"Ann of Acme\" <ann@acme.example>\ncertify@nimbrapost.example\nann@acme.example\n"
            "Update Requests\ntext/plain iso-8859-1\n"
            "['VERSION=NOUPDATESBramble4.x', 'SOURCED=Generic']\n");

  // At most once per run.
  ASSERT_TRUE(m->DeleteFile(kMessageFile));
  wizard->RegServer();
  EXPECT_FALSE(m->FileExists(kMessageFile));
}

TEST_F(UpdateRequestTest, NoRequestForClientTypesOrAJoinedDatabase) {
  for (int type : {5, 6, 7, 8}) {
    wizard->Settings().InstallType = type;
    wizard->RegServer();
    EXPECT_FALSE(m->FileExists(kMessageFile)) << type;
  }
  wizard->Settings().InstallType = 0;
  wizard->Settings().JoinExistingDatabase = true;
  wizard->RegServer();
  EXPECT_FALSE(m->FileExists(kMessageFile));
  EXPECT_FALSE(wizard->Settings().UpdateRequestSent);
}

TEST_F(UpdateRequestTest, DistributionRecordWithoutANameImportsNothing) {
  wizard->SaveFriends();  // no "Distrib.ini"
  EXPECT_FALSE(wizard->Settings().FromFriend);
  m.PutFile("C:\\windows\\Distrib.ini", "[Distrib]\r\nName=\r\nEmail=bob@x.example\r\n");
  wizard->SaveFriends();
  EXPECT_FALSE(wizard->Settings().FromFriend);
}

}  // namespace
}  // namespace nimbra::setup
