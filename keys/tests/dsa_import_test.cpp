#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <filesystem>

#include "core/hex.h"
#include "core/strings.h"
#include "keys/dsa_key_text.h"
#include "keys/key_texts.h"
#include "keys/tests/crypto_fixture.h"
#include "testsupport/temp_folder.h"

namespace nimbra::keys {
namespace {

std::string Number(EVP_PKEY* key, const char* name) {
  BIGNUM* n = nullptr;
  EXPECT_EQ(EVP_PKEY_get_bn_param(key, name, &n), 1);
  char* hex = BN_bn2hex(n);
  std::string text(hex);
  OPENSSL_free(hex);
  BN_free(n);
  return text;
}

int Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

// A DSA key made with the openssl tool, its public-key text, and signatures
// made with the tool too.
class OpensslDsa {
 public:
  OpensslDsa() {
    const std::string params = (dir.Path() / "params.pem").string();
    EXPECT_EQ(Run("openssl dsaparam -out " + params + " 1024"), 0);
    EXPECT_EQ(Run("openssl gendsa -out " + Pem() + " " + params), 0);
    FILE* file = std::fopen(Pem().c_str(), "r");
    EVP_PKEY* key = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    publicText = "/DSA PUBLIC KEY,VR:" + Number(key, OSSL_PKEY_PARAM_FFC_Q) +
                 ",VR:" + Number(key, OSSL_PKEY_PARAM_FFC_P) +
                 ",VR:" + Number(key, OSSL_PKEY_PARAM_FFC_G) +
                 ",VR:" + Number(key, OSSL_PKEY_PARAM_PUB_KEY);
    EVP_PKEY_free(key);
  }
  std::string Pem() const { return (dir.Path() / "key.pem").string(); }
  // openssl dgst -sha1 -sign over the text, as hexadecimal digits.
  std::string Sign(const std::string& text) const {
    testsupport::WriteText(dir.Path() / "text", text);
    EXPECT_EQ(Run("openssl dgst -sha1 -sign " + Pem() + " -out " + (dir.Path() / "sig").string() +
                  " " + (dir.Path() / "text").string()),
              0);
    const std::string sig = testsupport::ReadText(dir.Path() / "sig");
    return HexUpper({reinterpret_cast<const std::uint8_t*>(sig.data()), sig.size()});
  }

  testsupport::TempFolder dir{"dsa"};
  std::string publicText;
};

class DsaImportTest : public test::CryptoFixture {
 protected:
  static const OpensslDsa& Authority() {
    static const OpensslDsa key;
    return key;
  }
  // A DSA block for the owner's key, signed by the signer.
  static std::vector<std::string> Block(const std::string& owner, const std::string& keyId,
                                        const std::string& publicText, const std::string& signature,
                                        const std::string& signerId) {
    return {"DSA-PUBLIC-KEY",
            owner,
            keyId,
            "01/01/2030",
            "DSA Signing Key -3 [ !M !D !S]",
            "ca@x.example",
            publicText,
            signature,
            "Root CA",
            signerId,
            "http://ca.example",
            "Authorities",
            "KEY-END"};
  }
  static std::string Signed(const std::string& owner, const std::string& publicText,
                            const std::string& keyId, const std::string& aliases) {
    return UpperCase(owner + publicText + keyId + aliases);
  }
};

TEST_F(DsaImportTest, OpensslRootKeyImportsAsRootAndTamperedAsInvalid) {
  const OpensslDsa& ca = Authority();
  const std::string signature = ca.Sign(Signed("Root CA", ca.publicText, "CA01", "ca@x.example"));
  std::vector<std::string> tampered = Block("Root CA", "CA02", ca.publicText, signature, "CA02");
  crypto->ImportKeyText(tampered);
  EXPECT_NE(crypto->importReport.find("The signature on this key is INVALID.\r\n\r\n"),
            std::string::npos);
  KeyRecord key;
  ASSERT_TRUE(ReadRecipient("CA02", key));  // no signer was found to refuse it
  EXPECT_EQ(key.signatureType, "SIGNATURE INVALID");

  crypto->importReport.clear();
  crypto->ImportKeyText(Block("Root CA", "CA01", ca.publicText, signature, "CA01"));
  EXPECT_EQ(crypto->importReport,
            "Detected New Digital Signature key Root CA/CA01\r\n"
            "The signature key is a root key signed by itself.\r\n\r\n");
  ASSERT_TRUE(ReadRecipient("CA01", key));
  EXPECT_EQ(key.containerType, "DSA");
  EXPECT_EQ(key.entityName, "Root CA");
  EXPECT_EQ(key.entityGroupName, "Authorities");
  EXPECT_EQ(key.signatureType, "DSA Signing Key");
  EXPECT_EQ(key.signingName, "Root CA");
  EXPECT_EQ(key.signatureId, "CA01");
  EXPECT_EQ(key.keyClass, 3);
  EXPECT_FALSE(key.encrypt || key.showSubject || key.dsaSigning);
  EXPECT_EQ(crypto->newKeyDetail,
            "KEY NAME  :Root CA/CA01\r\nALIASES   :ca@x.example\r\nEXPIRES   :01/01/2030\r\n"
            "REFERENCE :CA01\r\n");
}

TEST_F(DsaImportTest, KeySignedByAStoredAuthorityIsCounterSigned) {
  const OpensslDsa& ca = Authority();
  crypto->ImportKeyText(Block("Root CA", "CA01", ca.publicText,
                              ca.Sign(Signed("Root CA", ca.publicText, "CA01", "ca@x.example")),
                              "CA01"));
  const DsaKeyTexts bob = GenerateDsaKey(std::vector<std::uint8_t>(50, 1));
  const std::string good = ca.Sign(Signed("Bob", bob.publicText, "B0B0B0B0", "ca@x.example"));
  crypto->importReport.clear();
  std::vector<std::string> forged =
      Block("Bob", "B0B0B0B0", bob.publicText, SignDsa(bob.privateText, "other"), "CA01");
  crypto->ImportKeyText(forged);
  EXPECT_NE(crypto->importReport.find("INVALID"), std::string::npos);
  KeyRecord key;
  EXPECT_FALSE(ReadRecipient("B0B0B0B0", key));  // the authority refuses it: not stored

  crypto->importReport.clear();
  crypto->ImportKeyText(Block("Bob", "B0B0B0B0", bob.publicText, good, "CA01"));
  EXPECT_NE(crypto->importReport.find("The key is counter signed using DSA by Root CA\r\n\r\n"),
            std::string::npos);
  ASSERT_TRUE(ReadRecipient("B0B0B0B0", key));
  TKeysDB db;
  ASSERT_TRUE(crypto->OpenRecipients(db));
  EXPECT_EQ(db.PublicBlockText(key), bob.publicText);
  // Known and validly signed: left as it is.
  crypto->ImportKeyText(Block("Bob", "B0B0B0B0", bob.publicText, good, "CA01"));
  KeyRecord again;
  ASSERT_TRUE(ReadRecipient("B0B0B0B0", again));
  EXPECT_EQ(again.updateStamp, key.updateStamp);
}

TEST_F(DsaImportTest, GeneratedKeyTextsSignAndVerify) {
  const DsaKeyTexts key = GenerateDsaKey(std::vector<std::uint8_t>(50, 7));
  ASSERT_TRUE(StartsText(key.publicText, "/DSA PUBLIC KEY,VR:"));
  const std::vector<std::string> items = [&] {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= key.privateText.size()) {
      std::size_t comma = std::min(key.privateText.find(',', start), key.privateText.size());
      parts.push_back(key.privateText.substr(start, comma - start));
      start = comma + 1;
    }
    return parts;
  }();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[1].size(), 3u + 40u);   // q of 160 bits
  EXPECT_EQ(items[2].size(), 3u + 256u);  // p of 1024 bits
  EXPECT_EQ(UpperCase(items[2]), items[2]);
  const std::string signature = SignDsa(key.privateText, "text");
  EXPECT_TRUE(VerifyDsaSignature(key.publicText, "text", signature));
  EXPECT_FALSE(VerifyDsaSignature(key.publicText, "texT", signature));
  EXPECT_FALSE(VerifyDsaSignature(key.publicText, "text", "zz"));
  EXPECT_FALSE(VerifyDsaSignature("/DSA PUBLIC KEY,VR:12", "text", signature));
  EXPECT_THROW(SignDsa(key.publicText, "text"), EKeysError);
}

TEST_F(DsaImportTest, AuthoritySignaturesOnVrxKeys) {
  const DsaKeyTexts ca = GenerateDsaKey(std::vector<std::uint8_t>(50, 3));
  crypto->ImportKeyText(Block(
      "Root CA", "CA01", ca.publicText,
      SignDsa(ca.privateText, Signed("Root CA", ca.publicText, "CA01", "ca@x.example")), "CA01"));
  const LetterTexts letters = test::EnginePublicKey(0x44);
  // One of the user's own keys.
  KeyRecord own;
  own.keyId = "0wn0wn00";
  own.entityName = "Ann";
  own.containerType = "VRX";
  own.aliases = "ann@x.example";
  {
    TKeysDB db;
    ASSERT_TRUE(crypto->OpenOwnKeys(db));
    db.SetPublicFromLetters(own, letters.first, letters.second);
    ASSERT_TRUE(db.WriteKey(own));
  }
  const std::string signature =
      SignDsa(ca.privateText, SignedText(own, letters.first + letters.second));
  const std::vector<std::string> update = {"VRX-KEY-SIGN-UPDATE",
                                           "DARO-VRX-XID1:" + signature.substr(0, 70),
                                           "DARO-VRX-XID2:" + signature.substr(70),
                                           "DARO-VRX-XDSA:CA01",
                                           "DARO-VRX-XREF:0wn0wn00",
                                           "KEY-END"};
  crypto->importReport.clear();
  crypto->ImportKeyText(update);
  {
    TKeysDB db;
    ASSERT_TRUE(crypto->OpenOwnKeys(db));
    KeyRecord read;
    ASSERT_TRUE(db.ReadKey("0wn0wn00", read));
    EXPECT_EQ(read.signatureId, "CA01");
    EXPECT_EQ(read.signingKey, signature.substr(0, 200));
    EXPECT_EQ(read.signingName, "Root CA");
    EXPECT_EQ(read.signatureType, "DSA");
  }
  // The authority itself is not verified.
  EXPECT_EQ(crypto->importReport, "Key is signed using an INVALID signing key Root CA\r\n");

  // For a key the user does not own nothing happens.
  std::vector<std::string> notOwned = update;
  notOwned[4] = "DARO-VRX-XREF:NOTMINE";
  crypto->importReport.clear();
  crypto->ImportKeyText(notOwned);
  EXPECT_EQ(crypto->importReport, "");
  KeyRecord none;
  EXPECT_FALSE(ReadRecipient("NOTMINE", none));

  // A recipient's VRX block carrying the authority's signature is verified.
  const std::vector<std::string> block = {"VRX-PUBLIC-KEY",
                                          "PKYN:Ann",
                                          "PKYR:0wn0wn00",
                                          "PKYA:ann@x.example",
                                          "PKYE:1/1/2030",
                                          "PKY1:" + letters.first,
                                          "PKY2:" + letters.second,
                                          "XID1:" + signature.substr(0, 70),
                                          "XID2:" + signature.substr(70),
                                          "XDSA:CA01",
                                          "KEY-END"};
  crypto->signatureMode = 2;
  crypto->ImportKeyText(block);
  KeyRecord recipient;
  ASSERT_TRUE(ReadRecipient("0wn0wn00", recipient));
  EXPECT_EQ(recipient.signatureType, "DSA");
  EXPECT_EQ(recipient.signatureId, "CA01");
  std::vector<std::string> wrong = block;
  wrong[7] = "XID1:" + signature.substr(0, 69) + (signature[69] == '0' ? "1" : "0");
  wrong[2] = "PKYR:0wn0wn00";
  crypto->importReport.clear();
  crypto->ImportKeyText(wrong);
  EXPECT_NE(crypto->importReport.find("Key signing was NOT VALIDATED by Root CA\r\n"),
            std::string::npos);
  ASSERT_TRUE(ReadRecipient("0wn0wn00", recipient));
  EXPECT_EQ(recipient.signatureType, "SIGNATURE INVALID");
}

}  // namespace
}  // namespace nimbra::keys
