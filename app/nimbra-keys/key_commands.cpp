#include "app/nimbra-keys/key_commands.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "core/datetime.h"
#include "keys/key_texts.h"
#include "keys/keys_db.h"
#include "keys/mail_encryptor.h"
#include "keys/mail_envelope.h"

namespace nimbra::keys_tool {
namespace {

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

std::string Date(const DateTime& value) {
  return FormatDateTime("dd'/'mm'/'yyyy", value);
}

std::string Flags(const keys::KeyRecord& key) {
  std::string flags;
  auto add = [&](bool on, const char* name) {
    if (on) flags += (flags.empty() ? "" : ",") + std::string(name);
  };
  add(key.encrypt, "encrypt");
  add(key.showSubject, "show-subject");
  add(key.multiRecip, "multiple-recipients");
  add(key.deliver, "deliver");
  add(key.dsaSigning, "dsa-signing");
  add(key.verified, "verified");
  return flags.empty() ? "-" : flags;
}

// Opens one of the pairs; "own" or "recipients".
void Open(keys::TNimbraMGR& crypto, keys::TKeysDB& db, bool own) {
  if (!(own ? crypto.OpenOwnKeys(db) : crypto.OpenRecipients(db)))
    throw std::runtime_error(std::string("the ") + (own ? "own-key" : "recipients") +
                             " database cannot be opened");
}

void List(keys::TNimbraMGR& crypto) {
  for (const bool own : {true, false}) {
    keys::TKeysDB db;
    Open(crypto, db, own);
    std::set<std::string> seen;
    for (int set = 0; set < 2; ++set) {
      for (const std::string& id : db.KeyIds(set)) {
        if (!seen.insert(id).second) continue;
        keys::KeyRecord key;
        if (!db.ReadKey(id, key)) continue;
        Print(std::string(own ? "own" : "recipient") + "\t" + key.keyId + "\t" + key.containerType +
              "\t" + key.entityName + "\t" + key.aliases + "\t" + Date(key.expires) + "\t" +
              Flags(key));
      }
    }
  }
}

void Show(keys::TNimbraMGR& crypto, const std::string& keyId) {
  for (const bool own : {true, false}) {
    keys::TKeysDB db;
    Open(crypto, db, own);
    keys::KeyRecord key;
    if (!db.ReadKey(keyId, key)) continue;
    std::string first, second;
    const bool letters = db.PublicKeyLetters(key, first, second);
    const std::vector<std::pair<std::string, std::string>> fields = {
        {"DATABASE", own ? "own" : "recipients"},
        {"KEY_ID", key.keyId},
        {"ENTITY_NAME", key.entityName},
        {"KEY_CLASS", std::to_string(key.keyClass)},
        {"ENTITY_GROUP_NAME", key.entityGroupName},
        {"KEY_CONTAINER_TYPE", key.containerType},
        {"DISPLAY_LABEL", key.displayLabel},
        {"REQUEST_URL", key.requestUrl},
        {"EXPIRES", Date(key.expires)},
        {"VERSION", key.version},
        {"ALIASES", key.aliases},
        {"CNTL_POLICY", key.policy},
        {"FLAGS", Flags(key)},
        {"SIGNATURE_ID", key.signatureId},
        {"SIGNING_URL", key.signingUrl},
        {"SIGNATURE_TYPE", key.signatureType},
        {"SIGNING_NAME", key.signingName},
        {"SIGNING_KEY", key.signingKey},
        {"SOURCE", std::to_string(key.source)},
        {"UPDATE_STAMP", FormatDateTime("yyyy'-'mm'-'dd hh:nn:ss", key.updateStamp)},
        {"KEY_REFERENCE", key.reference.Format()},
        {"PUBLIC_BLOCK", std::to_string(key.block1.Length()) + " bytes"},
        {"PRIVATE_BLOCK", std::to_string(key.block2.Length()) + " bytes"},
        {"FINGERPRINT",
         letters ? keys::Fingerprint(key.containerType == "VRX" ? first + second
                                                                : db.PublicBlockText(key))
                 : "(unreadable)"}};
    for (const auto& [name, value] : fields) Print(name + ": " + value);
    return;
  }
  throw std::runtime_error("no key " + keyId);
}

}  // namespace

void RunCommand(keys::TNimbraMGR& crypto, const std::string& command,
                const std::vector<std::string>& args) {
  const std::size_t wanted = command == "list" ? 0 : 1;
  if (command == "open-envelope") {
    // A message file (queued envelope or bare "Message.VRX") to the plain
    // message, byte for byte.
    if (args.size() != 1) throw UsageError(command + ": wrong number of arguments");
    std::ifstream file(args[0], std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + args[0]);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    const auto plain = keys::OpenMailEnvelope(crypto, keys::EnvelopeBytes(text));
    std::fwrite(plain.data(), 1, plain.size(), stdout);
    return;
  }
  if (args.size() != wanted) throw UsageError(command + ": wrong number of arguments");
  if (command == "list") {
    List(crypto);
  } else if (command == "show") {
    Show(crypto, args[0]);
  } else if (command == "export") {
    const std::vector<std::string> lines = crypto.ExportKeyText(args[0]);
    if (lines.empty()) throw std::runtime_error("no key " + args[0]);
    for (const std::string& line : lines) std::printf("%s\r\n", line.c_str());
  } else if (command == "import") {
    std::ifstream file(args[0], std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + args[0]);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    crypto.importReport.clear();
    crypto.ImportKeyText(keys::SplitTextLines(text));
    std::fwrite(crypto.importReport.data(), 1, crypto.importReport.size(), stdout);
    if (!crypto.importReport.empty() && crypto.importReport.back() != '\n')
      std::fputc('\n', stdout);
  } else {
    throw UsageError("unknown command " + command);
  }
}

}  // namespace nimbra::keys_tool
