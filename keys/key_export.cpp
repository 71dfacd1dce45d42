#include "keys/dsa_key_text.h"
#include "keys/key_blocks.h"
#include "keys/key_texts.h"
#include "keys/keys_db.h"
#include "keys/nimbra_crypto.h"

namespace nimbra::keys {

std::vector<std::string> TNimbraCrypto::ExportKeyText(const std::string& keyId) {
  KeyRecord key;
  bool own = false;
  {
    TKeysDB db;
    own = OpenOwnKeys(db) && db.ReadKey(keyId, key);
  }
  TKeysDB db;
  if (own) {
    if (!OpenOwnKeys(db)) return {};
  } else if (!OpenRecipients(db) || !db.ReadKey(keyId, key)) {
    return {};
  }
  if (key.containerType == "VRX") {
    std::string first, second;
    if (!db.PublicKeyLetters(key, first, second)) return {};
    return VrxKeyBlock(key, first, second);
  }
  const std::string publicText = db.PublicBlockText(key);
  if (publicText.empty()) return {};
  if (own && key.signingKey.empty() && key.block2.Length() > 0) {
    const std::optional<SecretBuffer> privateText = db.Unprotect(key.block2.Bytes(), key.source);
    if (!privateText) return {};
    const std::string signature = SignDsa(privateText->Text(), SignedText(key, publicText));
    return DsaKeyBlock(key, publicText, signature, key.entityName, key.keyId);
  }
  return DsaKeyBlock(key, publicText, key.signingKey, key.signingName, key.signatureId);
}

}  // namespace nimbra::keys
