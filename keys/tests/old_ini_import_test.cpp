#include <gtest/gtest.h>

#include "engine/keys/secret_key.h"
#include "keys/tests/crypto_fixture.h"

namespace nimbra::keys {
namespace {

// A block as the older generation protected it: under the SHA-1 text of the
// old password, in letter form.
LetterTexts OldBlock(const std::vector<std::uint8_t>& plain, const std::string& password) {
  const std::vector<std::uint8_t> random(20, 0x42);
  engine::TSecretKey secret;
  secret.RandomBytes = random.data();
  std::vector<std::uint8_t> result;
  secret.EncryptBytes(result, plain.data(), Sha1Hex(password), plain.size());
  return ToLetters(result);
}

std::vector<std::uint8_t> Bytes(const LetterTexts& letters) {
  const SecretBuffer bytes = FromLetters(letters.first, letters.second);
  return {bytes.Bytes().begin(), bytes.Bytes().end()};
}

class OldIniImportTest : public test::CryptoFixture {
 protected:
  const std::string kOld = "C:\\OldNimbra\\";
  static const LetterTexts& Key(std::uint8_t seed) {
    static std::map<std::uint8_t, LetterTexts> keys;
    auto it = keys.find(seed);
    if (it == keys.end()) it = keys.emplace(seed, test::EnginePublicKey(seed)).first;
    return it->second;
  }
  std::string Entry(const std::string& name, const LetterTexts& letters) {
    return name + "1=" + letters.first + "\r\n" + name + "2=" + letters.second + "\r\n";
  }
};

TEST_F(OldIniImportTest, ConvertOldBlockUndoesTheOldProtection) {
  const std::vector<std::uint8_t> plain = {1, 2, 3, 200, 255, 0, 7};
  const LetterTexts old = OldBlock(plain, "old secret");
  EXPECT_EQ(old.first.size(), plain.size() + 20);
  EXPECT_EQ(Bytes(crypto->ConvertOldBlock(old.first, old.second, "old secret")), plain);
  EXPECT_NE(Bytes(crypto->ConvertOldBlock(old.first, old.second, "other")), plain);
  EXPECT_THROW(crypto->ConvertOldBlock("AB", "AB", "old secret"), EKeysError);
}

TEST_F(OldIniImportTest, OwnKeysTakeTheirOwnerAndTheLastAddress) {
  const LetterTexts& key = Key(0x71);
  const std::vector<std::uint8_t> privateBlock(40, 0x11);
  m.PutFile(kOld + "mykeys.ini",
            "[KeysName]\r\nAnn Old/anything=0ld0ld00\r\n"
            "[EmailKeys]\r\nann@first.example=0ld0ld00\r\nann@last.example=0ld0ld00\r\n"
            "other@x.example=SOMEELSE\r\n"
            "[fprivatekey.keyref]\r\nExpires=3/4/2031\r\n"
            "[0ld0ld00]\r\n" +
                Entry("PublicKey", OldBlock(Bytes(key), "pw")) +
                Entry("EncryptedPrivateKey", OldBlock(privateBlock, "pw")));
  ASSERT_TRUE(crypto->ImportOldOwnKeys(kOld + "mykeys.ini", "pw"));
  TKeysDB db;
  ASSERT_TRUE(crypto->OpenOwnKeys(db));
  KeyRecord own;
  ASSERT_TRUE(db.ReadKey("0ld0ld00", own));
  EXPECT_EQ(own.entityName, "Ann Old");
  EXPECT_EQ(own.aliases, "ann@last.example");
  EXPECT_EQ(own.expires, DateTime::Date(2031, 4, 3));
  EXPECT_EQ(own.containerType, "VRX");
  EXPECT_EQ(own.policy, "Default");
  std::string first, second;
  ASSERT_TRUE(db.PublicKeyLetters(own, first, second));
  EXPECT_EQ(first, key.first);
  const auto plainPrivate = db.Unprotect(own.block2.Bytes(), own.source);
  ASSERT_TRUE(plainPrivate);
  EXPECT_EQ(std::vector<std::uint8_t>(plainPrivate->Bytes().begin(), plainPrivate->Bytes().end()),
            privateBlock);
  // The settings section is no key.
  KeyRecord none;
  EXPECT_FALSE(db.ReadKey("fprivatekey.keyref", none));
}

TEST_F(OldIniImportTest, PeopleImportAsRecipientsAndAskBeforeUpdating) {
  m.PutFile(
      kOld + "people.ini",
      "[PeopleName]\r\nBob (work)=bob@y.example\r\nNobody=NONE\r\nEve=eve@z.example\r\n"
      "[bob@y.example]\r\nKeyRef=B0B00001\r\nExpires=01/01/2030\r\nVersion=VRX Strong -1\r\n" +
          Entry("PublicKey", OldBlock(Bytes(Key(0x72)), "pw")) +
          "[eve@z.example]\r\nKeyRef=E0E00001\r\nExpires=01/01/2030\r\n"
          "Version=VRX Strong -1\r\n" +
          Entry("PublicKey", OldBlock(Bytes(Key(0x73)), "other password")));
  ASSERT_TRUE(crypto->ImportOldPeople(kOld + "people.ini", "pw"));
  KeyRecord bob;
  ASSERT_TRUE(ReadRecipient("B0B00001", bob));
  EXPECT_EQ(bob.entityName, "Bob");
  EXPECT_EQ(bob.displayLabel.substr(0, 4), "Bob/");
  EXPECT_EQ(bob.aliases, "bob@y.example");
  // A block protected under another password is no valid key.
  KeyRecord eve;
  EXPECT_FALSE(ReadRecipient("E0E00001", eve));
  EXPECT_EQ(ui.asked, 0);

  // Bob is known now: the update is asked for, and the default answer is yes.
  crypto->importReport.clear();
  ASSERT_TRUE(crypto->ImportOldPeople(kOld + "people.ini", "pw"));
  EXPECT_EQ(ui.asked, 1);
  EXPECT_EQ(ui.lastQuestion, "Do you wish to update Bob");
  EXPECT_NE(crypto->importReport.find("Detected Existing VRX NimbraPost Key Bob/VRX-B0B00001"),
            std::string::npos);
  ui.answer = ui::Answer::No;
  crypto->importReport.clear();
  ASSERT_TRUE(crypto->ImportOldPeople(kOld + "people.ini", "pw"));
  EXPECT_EQ(crypto->importReport.find("Bob"), std::string::npos);
}

}  // namespace
}  // namespace nimbra::keys
