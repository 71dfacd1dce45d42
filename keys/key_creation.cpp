#include <array>
#include <optional>

#include "core/hex.h"
#include "core/stream.h"
#include "core/strings.h"
#include "engine/keys/vrx_crypto.h"
#include "keys/dsa_key_text.h"
#include "keys/key_texts.h"
#include "keys/keys_db.h"
#include "keys/keys_error.h"
#include "keys/nimbra_crypto.h"
#include "platform/files/path.h"
#include "platform/machine.h"

namespace nimbra::keys {
namespace {

constexpr std::array<std::string_view, 4> kTypeNames = {"VRX Strong", "VRX Extreme",
                                                        "DSA Signing Key", "PGP Private Key"};

// The seed of the repeatable test mode ("GENVRXINS" beside the program).
constexpr std::string_view kFixedSeed = "NimbraTest";

void WriteText(Stream& stream, std::string_view text) {
  stream.WriteBuffer(text.data(), text.size());
}

}  // namespace

bool TNimbraMGR::CreateKey(std::uint8_t source, int keyType, const std::string& expiry,
                           const std::string& policy, const std::vector<std::string>& addresses,
                           std::uint8_t keyClass, const std::string& ownerName,
                           const std::string& group, const std::string& entityName) {
  (void)ownerName;  // the label is made from the entity name
  if (keyType < kVrxStrong || keyType > kPgpPrivate) return false;
  // PGP keys are made by the PGP toolkit, and only once its library is loaded.
  if (keyType == kPgpPrivate && (pgpKeys == nullptr || !pgpKeys->Available())) return false;
  try {
    engine::TVRXCrypto engine;
    MemoryStream publicPart, privatePart;
    const SecretBuffer random = RandomBytes(60);
    const std::string className(KeyClassName(keyClass));
    std::string keyId, label, containerType;
    dsaPublicText.clear();
    dsaPrivateText.clear();
    if (keyType == kPgpPrivate) {
      // The pass phrase protecting the toolkit's secret key is kept as both
      // blocks of the record.
      const std::string passPhrase = HexUpper(random.Bytes().subspan(0, 11));
      const std::string userId =
          entityName + " <" + (addresses.empty() ? std::string() : addresses.front()) + ">";
      const std::optional<std::string> made = pgpKeys->MakeKeyPair(userId, passPhrase, 365);
      // Without a key there is nothing to store: no record with an empty KEY_ID.
      if (!made || made->empty()) {
        currentKey.Clear();
        createdPublicKey1.clear();
        createdPublicKey2.clear();
        return false;
      }
      keyId = *made;
      label = entityName + "/PGP-" + keyId + ":" + className;
      containerType = "PGP";
      WriteText(publicPart, passPhrase);
      WriteText(privatePart, passPhrase);
    } else if (keyType != kDsaSigning) {
      engine.SetGeneratorSizes(keyType == kVrxStrong ? 28 : 44);
      engine.SetTableDirectory(tableDirectory);
      engine.SetGranularity(engine::gBit);
      engine.SetRandomBufferSize(2048);
      if (Machine().FileExists(platform::JoinWindowsPath(ProgramDir(), "GENVRXINS")))
        engine.MakePrivateKey(reinterpret_cast<const std::uint8_t*>(kFixedSeed.data()),
                              static_cast<int>(kFixedSeed.size()));
      else
        engine.MakePrivateKey(random.data(), 50);
      engine.ComputePublicKey(engine.PublicKey(), engine.PrivateKey());
      engine.PublicKey().SaveToStream(publicPart);
      engine.PrivateKey().SaveToStream(privatePart);
      keyId = engine.PublicKey().KeyId();
      label = entityName + "/VRX-" + keyId + ":" + className;
      containerType = "VRX";
    } else {
      keyId = HexUpper(random.Bytes().subspan(0, 4));
      const std::string testFile = platform::JoinWindowsPath(ProgramDir(), "GENDSAINS");
      if (Machine().FileExists(testFile)) {
        const std::vector<std::string> lines = SplitTextLines(Machine().ReadFile(testFile));
        if (lines.size() < 3) throw EKeysError("GENDSAINS holds fewer than three lines");
        keyId = lines[0];
        dsaPublicText = lines[1];
        dsaPrivateText = lines[2];
      } else {
        DsaKeyTexts texts = GenerateDsaKey(random.Bytes().subspan(0, 50));
        dsaPublicText = std::move(texts.publicText);
        dsaPrivateText = std::move(texts.privateText);
      }
      label = entityName + "/DSA-" + keyId + ":" + className;
      containerType = "DSA";
      WriteText(publicPart, dsaPublicText);
      WriteText(privatePart, dsaPrivateText);
    }
    std::string aliases;
    for (const std::string& address : addresses) aliases += (aliases.empty() ? "" : ",") + address;
    const std::string version =
        std::string(kTypeNames[std::size_t(keyType)]) + " -" + std::to_string(keyClass);

    currentKey.Clear();
    currentKey.entityName = Cut(entityName, kEntityNameWidth);
    currentKey.keyClass = keyClass;
    currentKey.version = Cut(version, kVersionWidth);
    currentKey.entityGroupName = Cut(group.empty() ? className : group, kGroupNameWidth);
    currentKey.displayLabel = Cut(label, kDisplayLabelWidth);
    currentKey.keyId = Cut(keyId, kKeyIdWidth);
    // The expiry text was written with the machine's date separator.
    currentKey.expires = ExpiryOrDefault(expiry, Machine().DateSeparator()[0]);
    currentKey.aliases = Cut(aliases, kAliasesWidth);
    currentKey.policy = Cut(policy, kPolicyWidth);
    currentKey.source = source;
    currentKey.containerType = containerType;
    currentKey.showSubject = currentKey.dsaSigning = true;

    {
      TKeysDB db;
      if (!OpenOwnKeys(db)) throw EKeysError("the own-key database could not be opened");
      db.SetBlocks(currentKey, privatePart.Data().data(),
                   static_cast<std::int32_t>(privatePart.Data().size()), publicPart.Data().data(),
                   static_cast<std::int32_t>(publicPart.Data().size()));
      if (!db.WriteKey(currentKey)) throw EKeysError("the new key could not be stored");
      if (!db.PublicKeyLetters(currentKey, createdPublicKey1, createdPublicKey2))
        throw EKeysError("the new key does not read back");
    }
    if (keyType != kPgpPrivate)
      ImportPublicKey(label, group, containerType, aliases, version, expiry, keyId,
                      createdPublicKey2, createdPublicKey1);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace nimbra::keys
