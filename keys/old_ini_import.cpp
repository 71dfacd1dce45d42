#include "core/strings.h"
#include "engine/keys/secret_key.h"
#include "keys/key_texts.h"
#include "keys/keys_db.h"
#include "keys/keys_error.h"
#include "keys/nimbra_crypto.h"
#include "keys/text_seal.h"
#include "platform/profile/profile_file.h"
#include "ui/questions.h"
#include "ui/ui.h"

namespace nimbra::keys {

LetterTexts TNimbraMGR::ConvertOldBlock(std::string_view first, std::string_view second,
                                        std::string_view oldPassword) {
  const SecretBuffer protectedBlock = FromLetters(first, second);
  if (protectedBlock.size() < engine::TSecretKey::kRandomSize)
    throw EKeysError("the old key block is too short");
  const SecretBuffer passphrase(Sha1Hex(oldPassword));
  engine::TSecretKey secret;
  SecretBuffer plain;
  secret.DecryptBytes(plain, protectedBlock.data(), passphrase.Text(), protectedBlock.size());
  plain.Resize(protectedBlock.size() - engine::TSecretKey::kRandomSize);
  return ToLetters(plain.Bytes());
}

bool TNimbraMGR::ImportOldOwnKeys(const std::string& myKeysIni, std::string_view oldPassword) {
  const std::string host = Host(myKeysIni);
  if (host.empty()) return true;
  platform::ProfileFile ini(host);
  try {
    for (const std::string& section : ini.SectionNames()) {
      if (FindText(section, "Keys") != std::string::npos) continue;
      const bool havePublic =
          ini.ValueExists(section, "PublicKey1") && ini.ValueExists(section, "PublicKey2");
      const bool havePrivate = ini.ValueExists(section, "EncryptedPrivateKey1") &&
                               ini.ValueExists(section, "EncryptedPrivateKey2");
      // Sections without a key block ("fprivatekey.keyref") hold settings.
      if (!havePublic && !havePrivate) continue;
      KeyRecord key = currentKey;
      std::string owner = CurrentUser();
      for (const std::string& name : ini.KeyNames("KeysName"))
        if (ini.ReadString("KeysName", name, "") == section) owner = LabelOwner(name);
      for (const std::string& address : ini.KeyNames("EmailKeys"))
        if (ini.ReadString("EmailKeys", address, "") == section) key.aliases = address;
      key.entityName = Cut(owner, kEntityNameWidth);
      key.keyClass = 1;
      key.displayLabel = Cut(owner + "/VRX-" + section, kDisplayLabelWidth);
      key.keyId = Cut(section, kKeyIdWidth);
      key.expires = ExpiryOrDefault(ini.ReadString("fprivatekey.keyref", "Expires", "1/1/2099"));
      key.policy = "Default";
      key.containerType = "VRX";
      key.source = 0;
      LetterTexts publicBlock, privateBlock;
      if (havePublic)
        publicBlock = ConvertOldBlock(ini.ReadString(section, "PublicKey1", ""),
                                      ini.ReadString(section, "PublicKey2", ""), oldPassword);
      if (havePrivate)
        privateBlock =
            ConvertOldBlock(ini.ReadString(section, "EncryptedPrivateKey1", ""),
                            ini.ReadString(section, "EncryptedPrivateKey2", ""), oldPassword);
      TKeysDB db;
      if (!OpenOwnKeys(db)) return true;
      key.block1.Empty();
      key.block2.Empty();
      if (havePrivate) db.SetPrivateFromLetters(key, privateBlock.first, privateBlock.second);
      if (havePublic) db.SetPublicFromLetters(key, publicBlock.first, publicBlock.second);
      db.WriteKey(key);
    }
  } catch (const nimbra::Exception&) {
    return false;
  }
  return true;
}

bool TNimbraMGR::ImportOldPeople(const std::string& peopleIni, std::string_view oldPassword) {
  const std::string host = Host(peopleIni);
  if (host.empty()) return true;
  platform::ProfileFile ini(host);
  try {
    for (const std::string& name : ini.KeyNames("PeopleName")) {
      const std::string address = ini.ReadString("PeopleName", name, "");
      if (address == "NONE") continue;
      const std::string display(Trim(std::string_view(name).substr(0, name.find('('))));
      bool known = false;
      {
        TKeysDB db;
        known = OpenRecipients(db) && !db.FindKeyId(address, "VRX", true).empty();
      }
      if (known && !Ui().AskYesNo({std::string(ui::q::UpdateRecipientKey),
                                   "Do you wish to update " + display, MessageCaption()}))
        continue;
      const std::string keyRef = ini.ReadString(address, "KeyRef", "");
      const LetterTexts letters =
          ConvertOldBlock(ini.ReadString(address, "PublicKey1", ""),
                          ini.ReadString(address, "PublicKey2", ""), oldPassword);
      ImportPublicKey(
          display + "/VRX-" + keyRef, "", "VRX", address, ini.ReadString(address, "Version", ""),
          ini.ReadString(address, "Expires", ""), keyRef, letters.second, letters.first);
    }
  } catch (const nimbra::Exception&) {
    return false;
  }
  return true;
}

}  // namespace nimbra::keys
