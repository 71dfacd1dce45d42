#include <algorithm>
#include <array>

#include "core/stream.h"
#include "core/strings.h"
#include "engine/keys/key.h"
#include "engine/keys/vrx_crypto.h"
#include "keys/dsa_key_text.h"
#include "keys/key_texts.h"
#include "keys/keys_db.h"
#include "keys/letters.h"
#include "keys/nimbra_crypto.h"
#include "platform/machine.h"
#include "platform/profile/profile_file.h"

namespace nimbra::keys {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsMarker(std::string_view line, std::string_view marker) {
  return Trim(line) == marker;
}

// The tags of a VRX block, in the order they are looked for in a line.
enum Tag {
  PKYN,
  PKYG,
  PKYA,
  PKYI,
  PKYE,
  PKYR,
  PKY1,
  PKY2,
  PKY3,
  PKY4,
  VERS,
  IDL2,
  XID1,
  XID2,
  XDSA,
  XREF,
  kTagCount
};
constexpr std::array<std::string_view, kTagCount> kTags = {
    "PKYN:", "PKYG:", "PKYA:", "PKYI:", "PKYE:", "PKYR:", "PKY1:", "PKY2:",
    "PKY3:", "PKY4:", "VERS:", "IDL2:", "XID1:", "XID2:", "XDSA:", "XREF:"};

bool ValidEngineKey(std::string_view publicKey1, std::string_view publicKey2) {
  try {
    const SecretBuffer bytes = FromLetters(publicKey1, publicKey2);
    MemoryStream stream(bytes.data(), bytes.size());
    engine::TPublicKey key(engine::TCustomVRXCrypto::kDefaultSizes);
    key.LoadFromStream(stream);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// The database keeps a key's addresses in its own order (the newest first)
// and without regard to case: two lists are the same when their sorted,
// lower-cased addresses are.
bool SameAddresses(std::string_view a, std::string_view b) {
  auto normal = [](std::string_view text) {
    std::vector<std::string> list;
    for (const std::string& item : SplitCommaList(text)) list.push_back(LowerCase(item));
    std::sort(list.begin(), list.end());
    return list;
  };
  return normal(a) == normal(b);
}

std::string TrustLine(std::string_view prefix, const KeyRecord& key) {
  return std::string(prefix) + IntToStr(key.reference.b) + " of 15" + std::string(kCrLf);
}

}  // namespace

std::string TNimbraCrypto::ComplianceText(int level) {
  if (level == 0) return "No Compliance Set";
  if (wsIni_.empty()) LoadGeneralSettings();
  const std::string host = Host(mainUsers_);
  const std::string key = IntToStr(level);
  if (!host.empty()) {
    platform::ProfileFile users(host);
    if (users.ValueExists("Compliance Desciptions", key))
      return users.ReadString("Compliance Desciptions", key, "");
  }
  return "Compliance Level " + key + " not defined.";
}

void TNimbraCrypto::ImportKeyFile(const std::string& fileName) {
  ImportKeyText(SplitTextLines(machine_.ReadFile(fileName)));
}

void TNimbraCrypto::ImportKeyText(const std::vector<std::string>& lines) {
  std::vector<std::string> collected;
  bool dsa = false;
  auto import = [&] {
    try {
      if (!dsa) {
        ReadVrxBlock(collected);
      } else if (!collected.empty()) {
        const std::string label = collected[0] + "/" + (collected.size() > 1 ? collected[1] : "");
        ImportDSAKey(label, std::vector<std::string>(collected.begin() + 1, collected.end()));
      }
    } catch (const std::exception&) {
      // A block that fails to import is skipped; the others still count.
    }
    collected.clear();
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const bool last = i + 1 == lines.size();
    if (IsMarker(line, "VRX-PUBLIC-KEY") || IsMarker(line, "VRX-KEY-SIGN-UPDATE")) {
      collected.clear();
      dsa = false;
    } else if (IsMarker(line, "DSA-PUBLIC-KEY")) {
      collected.clear();
      dsa = true;
    } else if (IsMarker(line, "KEY-END")) {
      import();
    } else {
      collected.push_back(line);
      if (last) import();
    }
  }
}

void TNimbraCrypto::ReadVrxBlock(const std::vector<std::string>& lines) {
  std::array<std::string, kTagCount> value;
  std::array<bool, kTagCount> present{};
  for (const std::string& line : lines) {
    const std::string upper = UpperCase(line);
    for (int tag = 0; tag < kTagCount; ++tag) {
      const std::size_t at = upper.find(kTags[std::size_t(tag)]);
      if (at == std::string::npos) continue;
      const std::string rest = line.substr(at + 5);
      if (tag == PKY3)
        value[PKY3] += rest;  // continuations of PublicKey1 join in order
      else
        value[std::size_t(tag)] = rest;
      present[std::size_t(tag)] = true;
      break;
    }
  }
  auto trimmed = [&](Tag tag) { return std::string(Trim(value[tag])); };
  const std::string signature = trimmed(XID1) + trimmed(XID2);
  if (present[XID1] && present[XDSA] && present[XREF]) {
    ApplySignUpdate(trimmed(XREF), signature, trimmed(XDSA));
    return;
  }
  std::string publicKey1 = trimmed(PKY1);
  std::string publicKey2 = trimmed(PKY2);
  const std::string more1 = trimmed(PKY3);
  const std::string more2 = trimmed(PKY4);
  if (!more1.empty() && !more2.empty()) {
    publicKey1 += more1;
    publicKey2 += more2;
  }
  const std::string keyId = trimmed(PKYR);
  std::string label = trimmed(PKYN);
  if (label.find('/') == std::string::npos) label += "/VRX-" + keyId;
  const std::string listed = trimmed(PKYA);
  const std::string extra = trimmed(PKYI);
  std::string aliases = listed.empty() ? extra : listed;
  if (!listed.empty() && !extra.empty()) aliases = extra + "," + listed;
  if (publicKey1.empty() || publicKey1.size() != publicKey2.size()) return;
  ImportPublicKey(label, trimmed(PKYG), "VRX", aliases, trimmed(VERS), trimmed(PKYE), keyId,
                  publicKey2, publicKey1);
  if (present[XID1] && present[XDSA]) VerifyKeySigning(keyId, signature, trimmed(XDSA));
}

void TNimbraCrypto::StoreRecipient(TKeysDB& db, KeyRecord& record,
                                   std::span<const std::uint8_t> publicBlock) {
  const std::uint8_t first = storageMode == 1 ? 1 : 0;
  const std::uint8_t last = storageMode == 0 ? 0 : 1;
  for (std::uint8_t source = first; source <= last; ++source) {
    record.source = source;
    db.SetBlocks(record, nullptr, 0, publicBlock.data(),
                 static_cast<std::int32_t>(publicBlock.size()));
    db.WriteKey(record);
  }
}

void TNimbraCrypto::ImportPublicKey(std::string_view labelIn, std::string_view groupIn,
                                    std::string_view typeIn, std::string_view aliasesIn,
                                    std::string_view versionIn, std::string_view expiryIn,
                                    std::string_view keyIdIn, std::string_view publicKey2In,
                                    std::string_view publicKey1In) {
  const std::string label(Trim(labelIn)), group(Trim(groupIn)), type(Trim(typeIn)),
      aliases(Trim(aliasesIn)), expiry(Trim(expiryIn)), keyId(Trim(keyIdIn)),
      publicKey1(Trim(publicKey1In)), publicKey2(Trim(publicKey2In));
  if (publicKey1.empty() || publicKey2.empty() || expiry.empty() || keyId.empty() || label.empty())
    return;
  const bool vrx = type == "VRX";
  const bool valid = !vrx || ValidEngineKey(publicKey1, publicKey2);

  TKeysDB db;
  if (!OpenRecipients(db)) return;
  KeyRecord stored;
  const bool known = db.ReadKey(keyId, stored);
  if (known) {
    newKey = false;
    newKeyText.clear();
    newKeyDetail.clear();
    const std::string compliance = ComplianceText(stored.reference.a);
    if (vrx) {
      Report("Detected Existing VRX NimbraPost Key " + label + std::string(kCrLf));
      Report(TrustLine("The Key has Trust Level ", stored));
      Report("Key Compliance is " + compliance + std::string(kCrLf));
    } else if (type == "DSA") {
      Report("Detected Existing DSA Signing Key " + label + std::string(kCrLf));
      Report(TrustLine("The Signature has Trust Level ", stored));
      Report("Signature Compliance is " + compliance + std::string(kCrLf));
    }
  } else {
    newKey = true;
    newKeyText = label + " (" + aliases + ")";
    newKeyDetail = "DARO-VRX-PKYN:" + label + std::string(kCrLf) + "DARO-VRX-PKYA:" + aliases +
                   std::string(kCrLf) + "DARO-VRX-PKYE:" + expiry + std::string(kCrLf) +
                   "DARO-VRX-PKYR:" + keyId + std::string(kCrLf) + "DARO-VRX-PKY1:" + publicKey1 +
                   std::string(kCrLf) + "DARO-VRX-PKY2:" + publicKey2 + std::string(kCrLf);
    if (vrx)
      Report("Detected New VRX NimbraPost Key " + label + std::string(kCrLf));
    else if (type == "DSA")
      Report("Detected New DSA Signing Key " + label + std::string(kCrLf));
  }

  const VersionParts version = ParseVersionText(Trim(versionIn));
  const std::string owner = LabelOwner(label);
  const DateTime expires = ExpiryOrDefault(expiry, machine_.DateSeparator()[0]);
  if (known) {
    if (!valid) return;
    if (Cut(owner, kEntityNameWidth) == stored.entityName && stored.keyId == keyId &&
        stored.expires == expires && stored.containerType == Cut(type, kContainerTypeWidth) &&
        stored.version == Cut(version.version, kVersionWidth) &&
        Trim(FlagsText(stored)) == Trim(version.flags) && SameAddresses(stored.aliases, aliases))
      return;
    std::string stored1, stored2;
    if (!db.PublicKeyLetters(stored, stored1, stored2) ||
        Fingerprint(stored1 + stored2) != Fingerprint(publicKey1 + publicKey2)) {
      Report(
          "WARNING: THE KEY FINGER PRINT DOES NOT MATCH THE INFORMATION STORED. THE KEY WILL "
          "NOT BE UPDATED");
      return;
    }
  } else if (!valid) {
    return;
  }

  KeyRecord record = known ? stored : KeyRecord();
  if (!known) {
    record.encrypt = record.showSubject = record.dsaSigning = true;
    record.multiRecip = record.deliver = false;
  }
  record.entityName = Cut(owner, kEntityNameWidth);
  record.keyClass = version.keyClass;
  record.entityGroupName =
      Cut(group.empty() ? std::string(KeyClassName(version.keyClass)) : group, kGroupNameWidth);
  record.displayLabel = Cut(label, kDisplayLabelWidth);
  record.keyId = Cut(keyId, kKeyIdWidth);
  record.expires = expires;
  record.version = Cut(version.version, kVersionWidth);
  record.containerType = Cut(type, kContainerTypeWidth);
  record.aliases = Cut(aliases, kAliasesWidth);
  const std::string& flags = version.flags;
  if (flags.find("=S") != std::string::npos) record.showSubject = true;
  if (flags.find("!S") != std::string::npos) record.showSubject = false;
  if (flags.find("=M") != std::string::npos) record.multiRecip = true;
  if (flags.find("!M") != std::string::npos) record.multiRecip = false;
  if (flags.find("=D") != std::string::npos) record.dsaSigning = true;
  if (flags.find("!D") != std::string::npos) record.dsaSigning = false;
  record.signatureId.clear();
  record.signingName.clear();
  record.signatureType.clear();
  record.signingUrl.clear();
  record.signingKey.clear();
  const SecretBuffer block = FromLetters(publicKey1, publicKey2);
  StoreRecipient(db, record, block.Bytes());
}

void TNimbraCrypto::ImportDSAKey(std::string_view labelIn, const std::vector<std::string>& lines) {
  // Line n of the block (lines holds them from line 2 on).
  auto line = [&](std::size_t n) {
    return n >= 2 && n - 2 < lines.size() ? lines[n - 2] : std::string();
  };
  const std::string label(Trim(labelIn));
  const std::string keyId(Trim(line(2)));
  const std::string expiry(Trim(line(3)));
  const std::string publicText(Trim(line(6)));
  std::string versionText = line(4);
  versionText = std::string(Trim(versionText.substr(0, versionText.find('['))));
  const std::string signerUrl(Trim(line(10)));
  if (label.empty() || expiry.empty() || keyId.empty() || publicText.empty()) return;

  TKeysDB db;
  if (!OpenRecipients(db)) return;
  KeyRecord stored;
  const bool known = db.ReadKey(keyId, stored);
  if (known) {
    Report("Detected existing Digital Signature key " + stored.displayLabel + std::string(kCrLf));
    Report(TrustLine("The Signature has Trust Level ", stored));
    Report("Signature Compliance is " + ComplianceText(stored.reference.a) + std::string(kCrLf));
    newKey = false;
  } else {
    Report("Detected New Digital Signature key " + label + std::string(kCrLf));
    newKey = true;
  }

  const std::string signerId = line(9);
  KeyRecord signer;
  const bool signerFound = db.ReadKey(signerId, signer);
  std::string verificationKey;
  if (signerFound)
    verificationKey = db.PublicBlockText(signer);
  else if (signerId == line(2))
    verificationKey = publicText;

  const VersionParts version = ParseVersionText(versionText);
  KeyRecord record = known ? stored : KeyRecord();
  record.entityName = Cut(LabelOwner(label), kEntityNameWidth);
  record.keyClass = version.keyClass;
  const std::string group = line(11);
  record.entityGroupName = Cut(
      lines.size() >= 10 && !group.empty() ? group : std::string(KeyClassName(version.keyClass)),
      kGroupNameWidth);
  record.displayLabel = Cut(label, kDisplayLabelWidth);
  record.containerType = "DSA";
  record.aliases = Cut(line(5), kAliasesWidth);
  record.keyId = Cut(keyId, kKeyIdWidth);
  record.expires = ExpiryOrDefault(expiry, machine_.DateSeparator()[0]);
  record.version = Cut(version.version, kVersionWidth);
  record.signatureType =
      StartsText(publicText, "DSAPRIV") ? "DSA Signing Key" : "DSA Verified Data";
  record.signingKey = Cut(line(7), kSigningKeyWidth);
  record.signatureId = Cut(signerId, kSignatureIdWidth);
  record.signingUrl = Cut(signerUrl, kSigningUrlWidth);

  bool validSignature = false;
  if (!verificationKey.empty()) {
    validSignature =
        VerifyDsaSignature(verificationKey, SignedText(record, publicText), Trim(line(7)));
    record.signingName = Cut(line(8), kSigningNameWidth);
    if (validSignature) {
      record.signatureType = Cut(version.version, kSignatureTypeWidth);
      if (signerId != line(2))
        Report("The key is counter signed using " + signer.containerType + " by " +
               signer.entityName + "\r\n\r\n");
      else
        Report("The signature key is a root key signed by itself.\r\n\r\n");
    } else {
      record.signatureType = "SIGNATURE INVALID";
      Report("The signature on this key is INVALID.\r\n\r\n");
    }
  }
  if (known && validSignature) return;
  if (!known) {
    record.encrypt = record.showSubject = record.multiRecip = record.deliver = record.dsaSigning =
        false;
    newKeyText = label + " (" + record.aliases + ")";
    newKeyDetail = "KEY NAME  :" + label + std::string(kCrLf) + "ALIASES   :" + record.aliases +
                   std::string(kCrLf) + "EXPIRES   :" + expiry + std::string(kCrLf) +
                   "REFERENCE :" + keyId + std::string(kCrLf);
  }
  if (signerFound && !validSignature) return;
  StoreRecipient(db, record,
                 {reinterpret_cast<const std::uint8_t*>(publicText.data()), publicText.size()});
}

}  // namespace nimbra::keys
