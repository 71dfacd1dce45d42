#include <gtest/gtest.h>

#include "keys/key_texts.h"
#include "keys/tests/crypto_fixture.h"

namespace nimbra::keys {
namespace {

using test::EnginePublicKey;

class KeyTextImportTest : public test::CryptoFixture {
 protected:
  static const LetterTexts& AnnKey() {
    static const LetterTexts key = EnginePublicKey(0x5A);
    return key;
  }
  static const LetterTexts& OtherKey() {
    static const LetterTexts key = EnginePublicKey(0x33);
    return key;
  }
  static std::vector<std::string> Block(const LetterTexts& key, const std::string& expiry) {
    // No marker line and no "KEY-END": the reader starts in a VRX block and
    // imports it at the text's last line. Tags are found in any case,
    // behind the product's prefix.
    return {"X-Mailer: something",          "DARO-VRX-PKYN: Ann",
            "darO-vrx-pkyr: 1234ABCD",      "DARO-VRX-PKYA: ann@x.example,ann@y.example",
            "DARO-VRX-PKYE: " + expiry,     "DARO-VRX-PKY1: " + key.first,
            "DARO-VRX-PKY2: " + key.second, "DARO-VRX-VERS: VRX Strong -1 [ =M !D =S]"};
  }
};

TEST_F(KeyTextImportTest, VrxBlockBecomesARecipientKey) {
  crypto->ImportKeyText(Block(AnnKey(), "01/02/2030"));
  EXPECT_EQ(crypto->importReport, "Detected New VRX NimbraPost Key Ann/VRX-1234ABCD\r\n");
  EXPECT_TRUE(crypto->newKey);
  EXPECT_EQ(crypto->newKeyText, "Ann/VRX-1234ABCD (ann@x.example,ann@y.example)");
  EXPECT_NE(crypto->newKeyDetail.find("DARO-VRX-PKYR:1234ABCD\r\n"), std::string::npos);
  KeyRecord key;
  ASSERT_TRUE(ReadRecipient("1234ABCD", key));
  EXPECT_EQ(key.entityName, "Ann");
  EXPECT_EQ(key.displayLabel, "Ann/VRX-1234ABCD");
  EXPECT_EQ(key.keyClass, 1);
  EXPECT_EQ(key.entityGroupName, "Personal");
  EXPECT_EQ(key.version, "VRX Strong");
  EXPECT_EQ(key.containerType, "VRX");
  EXPECT_EQ(key.expires, DateTime::Date(2030, 2, 1));
  EXPECT_TRUE(key.encrypt && key.showSubject && key.multiRecip);
  EXPECT_FALSE(key.dsaSigning || key.deliver);
  TKeysDB db;
  ASSERT_TRUE(crypto->OpenRecipients(db));
  std::string first, second;
  ASSERT_TRUE(db.PublicKeyLetters(key, first, second));
  EXPECT_EQ(first, AnnKey().first);
  EXPECT_NE(key.aliases.find("ann@y.example"), std::string::npos);
}

TEST_F(KeyTextImportTest, ReimportChangesNothingAndReportsTrustAndCompliance) {
  crypto->ImportKeyText(Block(AnnKey(), "01/02/2030"));
  KeyRecord key;
  ASSERT_TRUE(ReadRecipient("1234ABCD", key));
  key.reference.a = 3;
  key.reference.b = 7;
  {
    TKeysDB db;
    ASSERT_TRUE(crypto->OpenRecipients(db));
    ASSERT_TRUE(db.WriteKey(key));
  }
  ASSERT_TRUE(ReadRecipient("1234ABCD", key));
  m.PutFile(test::kDataDir + "Users.ini",
            m.ReadFile(test::kDataDir + "Users.ini") + "[Compliance Desciptions]\r\n3=Audited\r\n");
  crypto->importReport.clear();
  crypto->ImportKeyText(Block(AnnKey(), "01/02/2030"));
  EXPECT_EQ(crypto->importReport,
            "Detected Existing VRX NimbraPost Key Ann/VRX-1234ABCD\r\n"
            "The Key has Trust Level 7 of 15\r\nKey Compliance is Audited\r\n");
  EXPECT_FALSE(crypto->newKey);
  KeyRecord again;
  ASSERT_TRUE(ReadRecipient("1234ABCD", again));
  EXPECT_EQ(again.updateStamp, key.updateStamp);
  EXPECT_EQ(crypto->ComplianceText(0), "No Compliance Set");
  EXPECT_EQ(crypto->ComplianceText(4), "Compliance Level 4 not defined.");
}

TEST_F(KeyTextImportTest, DifferentLettersForAStoredKeyWarnAndChangeNothing) {
  crypto->ImportKeyText(Block(AnnKey(), "01/02/2030"));
  KeyRecord before;
  ASSERT_TRUE(ReadRecipient("1234ABCD", before));
  crypto->importReport.clear();
  crypto->ImportKeyText(Block(OtherKey(), "01/02/2031"));
  EXPECT_NE(crypto->importReport.find("WARNING: THE KEY FINGER PRINT DOES NOT MATCH THE "
                                      "INFORMATION STORED. THE KEY WILL NOT BE UPDATED"),
            std::string::npos);
  KeyRecord after;
  ASSERT_TRUE(ReadRecipient("1234ABCD", after));
  EXPECT_EQ(after.expires, before.expires);
  EXPECT_EQ(after.block1, before.block1);
}

TEST_F(KeyTextImportTest, MalformedBlocksAreSkippedAndLaterBlocksStillImport) {
  std::vector<std::string> text = {"VRX-PUBLIC-KEY", "PKYN:Bad", "PKYR:BAD1", "PKYE:1/1/2030",
                                   "PKY1:ABC", "PKY2:AB", "KEY-END",
                                   // letters that are no engine key
                                   "VRX-PUBLIC-KEY", "PKYN:Bad", "PKYR:BAD2", "PKYE:1/1/2030",
                                   "PKY1:ABCD", "PKY2:ABCD", "KEY-END", "VRX-PUBLIC-KEY"};
  for (const std::string& line : Block(AnnKey(), "31/02/2030")) text.push_back(line);
  text.push_back("KEY-END");
  crypto->ImportKeyText(text);
  KeyRecord key;
  EXPECT_FALSE(ReadRecipient("BAD1", key));
  EXPECT_FALSE(ReadRecipient("BAD2", key));
  ASSERT_TRUE(ReadRecipient("1234ABCD", key));
  EXPECT_EQ(key.expires, DateTime::Date(2099, 1, 1));  // no 31 February
}

TEST_F(KeyTextImportTest, ContinuationLinesJoinOnlyWhenBothArePresent) {
  static const LetterTexts key = EnginePublicKey(0x21, 44);
  ASSERT_GT(key.first.size(), 232u);
  std::vector<std::string> text = {"VRX-PUBLIC-KEY",
                                   "PKYN:Ann",
                                   "PKYR:CONT",
                                   "PKYE:1/1/2030",
                                   "PKY1:" + key.first.substr(0, 200),
                                   "PKY2:" + key.second.substr(0, 200)};
  for (std::size_t at = 200; at < key.first.size(); at += 100)
    text.push_back("PKY3:" + key.first.substr(at, 100));  // several join in order
  text.push_back("KEY-END");
  crypto->ImportKeyText(text);
  // Without PKY4 only the first parts count: no valid key, nothing stored.
  EXPECT_NE(crypto->newKeyDetail.find("DARO-VRX-PKY1:" + key.first.substr(0, 200) + "\r\n"),
            std::string::npos);
  KeyRecord record;
  EXPECT_FALSE(ReadRecipient("CONT", record));
  text.insert(text.end() - 1, "PKY4:wrong");
  text.insert(text.end() - 1, "PKY4:" + key.second.substr(200));  // the last one counts
  crypto->ImportKeyText(text);
  ASSERT_TRUE(ReadRecipient("CONT", record));
}

TEST_F(KeyTextImportTest, ExpiryReadsWithTheMachinesSeparatorToo) {
  EXPECT_EQ(ParseExpiry("05/06/2027"), DateTime::Date(2027, 6, 5));
  EXPECT_EQ(ParseExpiry("05.06.2027", '.'), DateTime::Date(2027, 6, 5));
  EXPECT_FALSE(ParseExpiry("05.06.2027"));
  EXPECT_EQ(ExpiryOrDefault("never"), DateTime::Date(2099, 1, 1));
}

TEST(KeyTexts, FingerprintVersionAndFlags) {
  // SHA-1 of "ABC": the text is upper-cased first.
  EXPECT_EQ(Fingerprint("abc"), "3C01 BDBB 26F3 58BA B27F 2679 24AA 2C9A 03FC FDB8");
  const std::string print = Fingerprint("x");
  EXPECT_EQ(print.size(), 49u);
  EXPECT_EQ(print.substr(4, 1), " ");
  EXPECT_EQ(Fingerprint("ab"), Fingerprint("AB"));
  VersionParts v = ParseVersionText("VRX Strong -1 [ !M =D =S]");
  EXPECT_EQ(v.version, "VRX Strong");
  EXPECT_EQ(v.keyClass, 1);
  EXPECT_EQ(v.flags, "[ !M =D =S]");
  EXPECT_EQ(ParseVersionText("X -9").keyClass, 0);
  EXPECT_EQ(ParseVersionText("3.x").keyClass, 0);
  EXPECT_EQ(FlagsText(false, true, true), " [ !M =D =S]");
}

}  // namespace
}  // namespace nimbra::keys
