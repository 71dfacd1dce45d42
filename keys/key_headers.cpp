#include "core/stream.h"
#include "keys/key_blocks.h"
#include "keys/key_publish.h"
#include "keys/key_texts.h"
#include "keys/keys_db.h"
#include "keys/nimbra_crypto.h"

namespace nimbra::keys {

std::vector<std::string> PublicKeyLines(const std::string& publicKey1,
                                        const std::string& publicKey2,
                                        const std::string& separator) {
  const std::string tag = "DARO-VRX-PKY";
  if (publicKey1.size() <= 232)
    return {tag + "1:" + separator + publicKey1, tag + "2:" + separator + publicKey2};
  auto part = [](const std::string& text, std::size_t from) {
    return from < text.size() ? text.substr(from, 200) : std::string();
  };
  return {tag + "1:" + separator + part(publicKey1, 0),
          tag + "2:" + separator + part(publicKey2, 0),
          tag + "3:" + separator + part(publicKey1, 200),
          tag + "4:" + separator + part(publicKey2, 200)};
}

namespace {

void WriteLine(Stream& stream, const std::string& line) {
  stream.WriteBuffer(line.data(), line.size());
  stream.WriteBuffer("\r\n", 2);
}

}  // namespace

std::vector<std::string> SubmissionForm(const KeyRecord& key, const std::string& publicKey1,
                                        const std::string& publicKey2) {
  std::vector<std::string> lines = {"Nimbra Save:", "VRX-PUBLIC-KEY",
                                    "DARO-VRX-PKYN:" + Cut(key.entityName, 78),
                                    "DARO-VRX-PKYG: " + Cut(key.entityGroupName, 35)};
  if (!key.aliases.empty()) lines.push_back("DARO-VRX-PKYA:" + key.aliases);
  lines.push_back("DARO-VRX-PKYE:" + FormatDateTime("dd'/'mm'/'yyyy", key.expires));
  lines.push_back("DARO-VRX-PKYR:" + Cut(key.keyId, 34));
  for (std::string& line : PublicKeyLines(publicKey1, publicKey2, "")) lines.push_back(line);
  lines.push_back("DARO-VRX-VERS:" + Cut(key.version, 54));
  lines.push_back("DARO-VRX-XID1:" + key.signingKey.substr(0, 70));
  lines.push_back("DARO-VRX-XID2:" + (key.signingKey.size() > 70 ? key.signingKey.substr(70) : ""));
  lines.push_back("DARO-VRX-XDSA:" + Cut(key.signatureId, 54));
  lines.insert(lines.end(), {"KEY-END", ".", "QUIT"});
  return lines;
}

bool TNimbraCrypto::WriteKeyHeaders(Stream& stream, const std::string& senderAddress) {
  const std::optional<Policy> policy = Policies().FindPolicy(policyName_);
  if (policy && !policy->keyHeaders) return false;
  std::string sender = senderAddress;
  if (policy && !policy->fixedSender.empty()) sender = policy->fixedSender;
  if (sender.empty()) sender = defaultEmail_;
  if (sender.empty()) return false;

  TKeysDB db;
  if (!OpenOwnKeys(db)) return false;
  KeyRecord key;
  std::string first, second;
  const std::string keyId = db.FindKeyId(sender, "VRX", true);
  if (keyId.empty() || !db.ReadKey(keyId, key) || !db.PublicKeyLetters(key, first, second)) {
    WriteLine(stream, "X-NIMBRAPOST: No Private Key for " + sender);
    return false;
  }
  WriteLine(stream,
            "DARO-VRX-PKYN: " +
                (key.entityName.empty() ? key.displayLabel : key.entityName + "/" + key.keyId));
  WriteLine(stream, "DARO-VRX-PKYG: " + Cut(key.entityGroupName, 35));
  if (!key.aliases.empty()) WriteLine(stream, "DARO-VRX-PKYA: " + key.aliases);
  WriteLine(stream, "DARO-VRX-PKYE: " + FormatDateTime("dd'/'mm'/'yyyy", key.expires));
  WriteLine(stream, "DARO-VRX-PKYR: " + key.keyId);
  for (const std::string& line : PublicKeyLines(first, second, " ")) WriteLine(stream, line);
  WriteLine(stream, "DARO-VRX-VERS: " + VersionWithClass(key) + FlagsText(key));
  if (!key.signingKey.empty() && signatureMode == 2) {
    WriteLine(stream, "DARO-VRX-XID1: " + key.signingKey.substr(0, 70));
    WriteLine(stream,
              "DARO-VRX-XID2: " + (key.signingKey.size() > 70 ? key.signingKey.substr(70) : ""));
    WriteLine(stream, "DARO-VRX-XDSA: " + key.signatureId);
  }
  if (policy && policy->decryptNotify) WriteLine(stream, "DARO-VRX-DECRYPTNOTIFY: ");
  return true;
}

}  // namespace nimbra::keys
