#include "keys/key_blocks.h"

#include "core/datetime.h"
#include "keys/key_publish.h"
#include "keys/key_texts.h"

namespace nimbra::keys {
namespace {

std::string ExpiryText(const KeyRecord& key) {
  return FormatDateTime("dd'/'mm'/'yyyy", key.expires);
}

}  // namespace

std::string VersionWithClass(const KeyRecord& key) {
  if (key.version.find('-') != std::string::npos) return key.version;
  return key.version + "-" + std::to_string(key.keyClass);
}

std::vector<std::string> VrxKeyBlock(const KeyRecord& key, const std::string& publicKey1,
                                     const std::string& publicKey2) {
  std::vector<std::string> lines = {"VRX-PUBLIC-KEY",
                                    "DARO-VRX-PKYN: " + key.entityName + "/VRX-" + key.keyId,
                                    "DARO-VRX-PKYG: " + key.entityGroupName};
  if (!key.aliases.empty()) lines.push_back("DARO-VRX-PKYA: " + key.aliases);
  lines.push_back("DARO-VRX-PKYE: " + ExpiryText(key));
  lines.push_back("DARO-VRX-PKYR: " + key.keyId);
  for (std::string& line : PublicKeyLines(publicKey1, publicKey2, " ")) lines.push_back(line);
  lines.push_back("DARO-VRX-VERS: " + VersionWithClass(key) + FlagsText(key));
  if (!key.signingKey.empty()) {
    lines.push_back("DARO-VRX-XID1: " + key.signingKey.substr(0, 70));
    lines.push_back("DARO-VRX-XID2: " +
                    (key.signingKey.size() > 70 ? key.signingKey.substr(70) : ""));
    lines.push_back("DARO-VRX-XDSA: " + key.signatureId);
  }
  lines.push_back("KEY-END");
  return lines;
}

std::vector<std::string> DsaKeyBlock(const KeyRecord& key, const std::string& publicText,
                                     const std::string& signature, const std::string& signerName,
                                     const std::string& signerId) {
  std::string version = key.version;
  if (version.find('-') == std::string::npos) version += " -" + std::to_string(key.keyClass);
  return {
      "DSA-PUBLIC-KEY", key.entityName,      key.keyId, ExpiryText(key), version + FlagsText(key),
      key.aliases,      publicText,          signature, signerName,      signerId,
      key.signingUrl,   key.entityGroupName, "KEY-END"};
}

}  // namespace nimbra::keys
