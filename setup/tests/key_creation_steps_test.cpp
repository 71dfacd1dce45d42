#include <gtest/gtest.h>

#include "core/strings.h"
#include "keys/clock.h"
#include "keys/dsa_key_text.h"
#include "keys/tests/crypto_fixture.h"
#include "setup/created_keys.h"
#include "setup/tsetup_form.h"

namespace nimbra::setup {
namespace {

class KeyCreationStepsTest : public keys::test::CryptoFixture {
 protected:
  KeyCreationStepsTest() {
    m.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40");
    wizard = std::make_unique<TSetupForm>(ui, *m, "D:\\");
    ui::Form& f = wizard->Form();
    f.At("UserName").text = "Ann";
    f.At("GroupName").text = "";
    f.At("PrimeEmail").text = "c@x.example";
    f.At("EmailAddrs").AddLine("b@x.example");
    f.At("EmailAddrs").AddLine("a@x.example");
    f.At("Strong").checked = true;
    f.At("SoftwareLocation").text = "C:\\Program Files\\NimbraPost";
    wizard->Settings().KeyValidityDays = 30;
    EXPECT_TRUE(wizard->KeyManager().CheckPassword("Ann", "a"));
  }
  std::unique_ptr<TSetupForm> wizard;
};

TEST_F(KeyCreationStepsTest, BaseKeysUseTheSortedAddressesAndTheKeyLifetime) {
  // A machine writing dates with "." still gets keys that expire in 30 days.
  m.SetString("HKCU\\Control Panel\\International", "sDate", ".");
  wizard->CreateBaseKey();
  const CreatedKeys& kept = KeptKeyValues();
  EXPECT_EQ(kept.ownAddresses, "a@x.example,b@x.example,c@x.example");
  EXPECT_EQ(wizard->Form().At("EmailAddrs").Lines(), "a@x.example\r\nb@x.example\r\nc@x.example");
  EXPECT_EQ(kept.signingAddresses, kept.ownAddresses);
  EXPECT_EQ(kept.signingSecond, "NIL");
  EXPECT_EQ(kept.signingKeyId.size(), 8u);
  EXPECT_FALSE(kept.ownPublicKey1.empty());
  EXPECT_EQ(kept.ownPublicKey1.size(), kept.ownPublicKey2.size());
  EXPECT_TRUE(StartsText(kept.signingPublicText, "/DSA PUBLIC KEY,VR:"));
  keys::KeyRecord own;
  keys::TKeysDB db;
  ASSERT_TRUE(wizard->KeyManager().OpenOwnKeys(db));
  ASSERT_TRUE(db.ReadKey(kept.ownKeyId, own));
  EXPECT_EQ(own.expires, keys::Now().DateOnly().AddDays(30));
  EXPECT_EQ(own.version, "VRX Strong -1");
  EXPECT_EQ(own.entityGroupName, "Personal");
  EXPECT_EQ(wizard->KeyManager().tableDirectory, "C:\\Program Files\\NimbraPost\\PowerTables");
}

TEST_F(KeyCreationStepsTest, UserKeysAndTheCertificationKeys) {
  wizard->Form().At("Strong").checked = false;
  wizard->Form().At("Extreme").checked = true;
  wizard->CreateUserKey("Bob", "bob@x.example, bob2@x.example");
  const keys::KeyRecord& key = wizard->KeyManager().currentKey;
  EXPECT_EQ(key.entityName, "Bob");
  EXPECT_EQ(key.version, "VRX Extreme -1");
  EXPECT_EQ(key.aliases, "bob@x.example,bob2@x.example");

  const keys::DsaKeyTexts ca = keys::GenerateDsaKey(std::vector<std::uint8_t>(50, 9));
  const std::string signature =
      keys::SignDsa(ca.privateText, UpperCase("CA" + ca.publicText + "CA01" + "ca@x"));
  m.PutFile("D:\\NBKeys.NBK", "DSA-PUBLIC-KEY\r\nCA\r\nCA01\r\n01/01/2030\r\nDSA -3\r\nca@x\r\n" +
                                  ca.publicText + "\r\n" + signature +
                                  "\r\nCA\r\nCA01\r\n\r\nKEY-END\r\n");
  wizard->Form().At("NewPass").text = "a";
  wizard->SaveAuths();
  keys::KeyRecord imported;
  keys::TKeysDB db;
  ASSERT_TRUE(wizard->KeyManager().OpenRecipients(db));
  ASSERT_TRUE(db.ReadKey("CA01", imported));
  EXPECT_EQ(imported.signingName, "CA");
  // A user who cannot log on imports nothing, and nothing is raised.
  wizard->Form().At("UserName").text = "Nobody";
  wizard->RenewKeyManager();
  wizard->SaveAuths();
  EXPECT_FALSE(wizard->KeyManager().LoggedOn());
}

}  // namespace
}  // namespace nimbra::setup
