#include "core/stream.h"
#include "keys/dsa_key_text.h"
#include "keys/key_texts.h"
#include "keys/keys_db.h"
#include "keys/nimbra_crypto.h"

namespace nimbra::keys {
namespace {

// The public key as the signed text holds it: the letter texts of a VRX
// key, the public-key text of other keys.
std::string SignedPublicKey(TKeysDB& db, const KeyRecord& key) {
  if (key.containerType == "VRX") {
    std::string first, second;
    if (!db.PublicKeyLetters(key, first, second)) return {};
    return first + second;
  }
  return db.PublicBlockText(key);
}

}  // namespace

void TNimbraCrypto::ApplySignature(TKeysDB& recipients, KeyRecord& key, std::string_view publicKey,
                                   const std::string& signature, const std::string& authorityId,
                                   bool report) {
  KeyRecord authority;
  if (!recipients.ReadKey(authorityId, authority)) {
    key.signingName = Cut("UnKnown Authority ID: " + authorityId, kSigningNameWidth);
    key.signatureType = "UnKnown";
    if (report) Report("Key is signed using by " + key.signingName + "\r\n");
    return;
  }
  key.signatureId = Cut(authorityId, kSignatureIdWidth);
  key.signingKey = Cut(signature, kSigningKeyWidth);
  key.signingName = Cut(authority.entityName, kSigningNameWidth);
  const std::string authorityKey = recipients.PublicBlockText(authority);
  if (VerifyDsaSignature(authorityKey, SignedText(key, publicKey), signature)) {
    key.verified = authority.verified;
    key.signatureType = Cut(authority.containerType, kSignatureTypeWidth);
    Report(authority.verified
               ? "Key is signed using " + key.signatureType + " by " + key.signingName + "\r\n"
               : "Key is signed using an INVALID signing key " + key.signingName + "\r\n");
  } else {
    key.verified = false;
    key.signatureType = "SIGNATURE INVALID";
    if (report) Report("Key signing was NOT VALIDATED by " + key.signingName + "\r\n");
  }
}

void TNimbraCrypto::VerifyKeySigning(const std::string& keyId, const std::string& signature,
                                     const std::string& authorityId) {
  if (signatureMode <= 1) return;
  TKeysDB db;
  if (!OpenRecipients(db)) return;
  KeyRecord key;
  if (!db.ReadKey(keyId, key)) return;
  if (key.signatureId == authorityId && key.signingKey == signature) return;
  const std::string publicKey = SignedPublicKey(db, key);
  MemoryStream block;
  if (!db.PublicBlockStream(key, block)) return;
  ApplySignature(db, key, publicKey, signature, authorityId, true);
  StoreRecipient(db, key, block.Data());
}

void TNimbraCrypto::ApplySignUpdate(const std::string& keyId, const std::string& signature,
                                    const std::string& authorityId) {
  TKeysDB own;
  if (!OpenOwnKeys(own)) return;
  KeyRecord key;
  if (!own.ReadKey(keyId, key)) return;
  const std::string publicKey = SignedPublicKey(own, key);
  {
    TKeysDB recipients;
    if (!OpenRecipients(recipients)) return;
    ApplySignature(recipients, key, publicKey, signature, authorityId, false);
  }
  own.WriteKey(key);
  if (key.containerType != "VRX") return;
  std::string first, second;
  if (own.PublicKeyLetters(key, first, second)) PublishKey(key, first, second);
}

}  // namespace nimbra::keys
