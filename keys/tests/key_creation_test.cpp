#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <cstdio>

#include "core/hex.h"
#include "core/strings.h"
#include "keys/dsa_key_text.h"
#include "keys/key_texts.h"
#include "keys/tests/crypto_fixture.h"
#include "testsupport/temp_folder.h"

namespace nimbra::keys {
namespace {

const std::vector<std::string> kAddresses = {"ann@x.example", "ann@y.example"};

class KeyCreationTest : public test::CryptoFixture {
 protected:
  bool Create(int type, const std::string& expiry = "01/02/2030", const std::string& group = "") {
    return crypto->CreateKey(0, type, expiry, "Default", kAddresses, 1, "Ann", group, "Ann");
  }
  KeyRecord Own(const std::string& keyId) {
    TKeysDB db;
    KeyRecord record;
    EXPECT_TRUE(crypto->OpenOwnKeys(db));
    EXPECT_TRUE(db.ReadKey(keyId, record));
    return record;
  }
  // The plain private block of an own key.
  std::string PrivateBlock(const KeyRecord& record) {
    TKeysDB db;
    EXPECT_TRUE(crypto->OpenOwnKeys(db));
    auto plain = db.Unprotect(record.block2.Bytes(), record.source);
    return plain ? std::string(plain->Text()) : std::string();
  }
};

TEST_F(KeyCreationTest, VrxKeyIsStoredWithBothBlocksAndAsARecipient) {
  ASSERT_TRUE(Create(TNimbraMGR::kVrxStrong));
  const std::string keyId = crypto->currentKey.keyId;
  ASSERT_EQ(keyId.size(), 8u);
  EXPECT_EQ(LowerCase(keyId), keyId);
  const KeyRecord own = Own(keyId);
  EXPECT_EQ(own.version, "VRX Strong -1");
  EXPECT_EQ(own.entityGroupName, "Personal");
  EXPECT_EQ(own.displayLabel, "Ann/VRX-" + keyId + ":Personal");
  EXPECT_EQ(own.containerType, "VRX");
  EXPECT_EQ(own.aliases.size(), std::string("ann@x.example,ann@y.example").size());
  EXPECT_EQ(own.expires, DateTime::Date(2030, 2, 1));
  EXPECT_TRUE(own.showSubject && own.dsaSigning);
  EXPECT_GT(own.block1.Length(), 0);
  EXPECT_GT(own.block2.Length(), 0);
  EXPECT_FALSE(PrivateBlock(own).empty());
  KeyRecord recipient;
  ASSERT_TRUE(ReadRecipient(keyId, recipient));
  EXPECT_EQ(recipient.entityName, "Ann");
  EXPECT_EQ(recipient.version, "VRX Strong");
  EXPECT_EQ(recipient.keyClass, 1);
  TKeysDB db;
  ASSERT_TRUE(crypto->OpenRecipients(db));
  std::string first, second;
  ASSERT_TRUE(db.PublicKeyLetters(recipient, first, second));
  EXPECT_EQ(first, crypto->createdPublicKey1);
  EXPECT_EQ(second, crypto->createdPublicKey2);
  EXPECT_NE(crypto->importReport.find("Detected New VRX NimbraPost Key Ann/VRX-" + keyId),
            std::string::npos);
}

TEST_F(KeyCreationTest, ExtremeKeysAndTheRepeatableTestMode) {
  ASSERT_TRUE(Create(TNimbraMGR::kVrxStrong, "01/02/2030", "Sales"));
  EXPECT_EQ(crypto->currentKey.entityGroupName, "Sales");
  const std::size_t strongLength = crypto->createdPublicKey1.size();
  ASSERT_TRUE(Create(TNimbraMGR::kVrxExtreme));
  EXPECT_EQ(crypto->currentKey.version, "VRX Extreme -1");
  EXPECT_GT(crypto->createdPublicKey1.size(), strongLength);  // generator sizes 44

  m.PutFile(test::kProgramDir + "GENVRXINS", "");
  ASSERT_TRUE(Create(TNimbraMGR::kVrxStrong));
  const std::string first = crypto->createdPublicKey1;
  const std::string keyId = crypto->currentKey.keyId;
  crypto = NewComponent();
  ASSERT_TRUE(Create(TNimbraMGR::kVrxStrong));
  EXPECT_EQ(crypto->currentKey.keyId, keyId);
  EXPECT_EQ(crypto->createdPublicKey1, first);
}

TEST_F(KeyCreationTest, ExpiryReadsWithTheMachinesDateSeparator) {
  m.SetString("HKCU\\Control Panel\\International", "sDate", ".");
  ASSERT_TRUE(Create(TNimbraMGR::kVrxStrong, "05.06.2027"));
  EXPECT_EQ(Own(crypto->currentKey.keyId).expires, DateTime::Date(2027, 6, 5));
  KeyRecord recipient;
  ASSERT_TRUE(ReadRecipient(crypto->currentKey.keyId, recipient));
  EXPECT_EQ(recipient.expires, DateTime::Date(2027, 6, 5));
  ASSERT_TRUE(Create(TNimbraMGR::kVrxStrong, "not a date"));
  EXPECT_EQ(crypto->currentKey.expires, DateTime::Date(2099, 1, 1));
}

TEST_F(KeyCreationTest, DsaKeyTextsAndTheirTestMode) {
  ASSERT_TRUE(Create(TNimbraMGR::kDsaSigning));
  const std::string keyId = crypto->currentKey.keyId;
  ASSERT_EQ(keyId.size(), 8u);
  EXPECT_EQ(keyId.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(crypto->currentKey.displayLabel, "Ann/DSA-" + keyId + ":Personal");
  const KeyRecord own = Own(keyId);
  EXPECT_EQ(own.version, "DSA Signing Key -1");
  EXPECT_EQ(PrivateBlock(own), crypto->dsaPrivateText);
  KeyRecord recipient;
  ASSERT_TRUE(ReadRecipient(keyId, recipient));
  EXPECT_EQ(recipient.containerType, "DSA");
  TKeysDB db;
  ASSERT_TRUE(crypto->OpenRecipients(db));
  EXPECT_EQ(db.PublicBlockText(recipient), crypto->dsaPublicText);
  EXPECT_TRUE(StartsText(crypto->dsaPrivateText, "/DSA PRIVATE KEY,VR:"));

  m.PutFile(test::kProgramDir + "GENDSAINS", "ABCD0123\r\n/DSA PUBLIC KEY,VR:1\r\nPRIVATE\r\n");
  ASSERT_TRUE(Create(TNimbraMGR::kDsaSigning));
  EXPECT_EQ(crypto->currentKey.keyId, "ABCD0123");
  EXPECT_EQ(crypto->dsaPublicText, "/DSA PUBLIC KEY,VR:1");
  m.PutFile(test::kProgramDir + "GENDSAINS", "ABCD0123\r\nonly two lines\r\n");
  EXPECT_FALSE(Create(TNimbraMGR::kDsaSigning));
  // Without the PGP toolkit a PGP key is not made.
  EXPECT_FALSE(Create(TNimbraMGR::kPgpPrivate));
}

// A PEM file of the public key in a key text, made with OpenSSL.
void WritePublicPem(const std::string& keyText, const std::string& path) {
  std::vector<BIGNUM*> n;
  std::size_t start = 0;
  while (start <= keyText.size()) {
    const std::size_t comma = std::min(keyText.find(',', start), keyText.size());
    const std::string item = keyText.substr(start, comma - start);
    if (item.rfind("VR:", 0) == 0) {
      BIGNUM* number = nullptr;
      BN_hex2bn(&number, item.c_str() + 3);
      n.push_back(number);
    }
    start = comma + 1;
  }
  ASSERT_GE(n.size(), 4u);
  OSSL_PARAM_BLD* build = OSSL_PARAM_BLD_new();
  OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_FFC_Q, n[0]);
  OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_FFC_P, n[1]);
  OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_FFC_G, n[2]);
  OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_PUB_KEY, n[3]);
  OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(build);
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "DSA", nullptr);
  EVP_PKEY* key = nullptr;
  ASSERT_EQ(EVP_PKEY_fromdata_init(ctx), 1);
  ASSERT_EQ(EVP_PKEY_fromdata(ctx, &key, EVP_PKEY_PUBLIC_KEY, params), 1);
  FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_EQ(PEM_write_PUBKEY(file, key), 1);
  std::fclose(file);
  EVP_PKEY_free(key);
  EVP_PKEY_CTX_free(ctx);
  OSSL_PARAM_free(params);
  OSSL_PARAM_BLD_free(build);
  for (BIGNUM* number : n) BN_free(number);
}

TEST_F(KeyCreationTest, SignaturesOfACreatedKeyVerifyWithTheOpensslTool) {
  ASSERT_TRUE(Create(TNimbraMGR::kDsaSigning));
  const KeyRecord key = crypto->currentKey;
  const std::string text = SignedText(key, crypto->dsaPublicText);
  const std::string signature = SignDsa(crypto->dsaPrivateText, text);
  testsupport::TempFolder dir("verify");
  WritePublicPem(crypto->dsaPublicText, (dir.Path() / "public.pem").string());
  testsupport::WriteText(dir.Path() / "text", text);
  const std::vector<std::uint8_t> bytes = HexToBytes(signature);
  testsupport::WriteText(dir.Path() / "sig", std::string(bytes.begin(), bytes.end()));
  const std::string verify = "openssl dgst -sha1 -verify " + (dir.Path() / "public.pem").string() +
                             " -signature " + (dir.Path() / "sig").string() + " " +
                             (dir.Path() / "text").string() + " >/dev/null 2>&1";
  EXPECT_EQ(std::system(verify.c_str()), 0);
  testsupport::WriteText(dir.Path() / "text", text + "X");
  EXPECT_NE(std::system(verify.c_str()), 0);
}

}  // namespace
}  // namespace nimbra::keys
