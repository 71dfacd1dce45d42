#include "keys/old_key_import.h"

#include <cstdio>
#include <filesystem>

#include "core/strings.h"
#include "keys/clock.h"
#include "keys/keys_db.h"
#include "keys/old_key_file.h"

namespace nimbra::keys {

namespace {

// The older file beside the database, its name matched without regard to case.
std::string OlderFile(const DbFile& file) {
  const std::size_t dot = file.name.rfind('.');
  const std::string wanted =
      (dot == std::string::npos ? file.name : file.name.substr(0, dot)) + ".DB";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(file.Directory(), error)) {
    if (entry.is_regular_file(error) && UpperCase(entry.path().filename().string()) == wanted)
      return entry.path().string();
  }
  return {};
}

KeyRecord RecordOf(const OldKeyEntry& entry) {
  KeyRecord record;
  record.entityName = Cut(entry.name, kEntityNameWidth);
  record.keyClass = entry.keyClass;
  record.displayLabel = Cut(entry.label, kDisplayLabelWidth);
  record.keyId = Cut(entry.keyId, kKeyIdWidth);
  record.version = Cut(entry.version, kVersionWidth);
  record.encrypt = entry.encrypt;
  record.deliver = entry.deliver;
  record.verified = entry.verified;
  record.signatureId = Cut(entry.signatureId, kSignatureIdWidth);
  record.signatureType = Cut(entry.signatureType, kSignatureTypeWidth);
  record.signingName = Cut(entry.signingName, kSigningNameWidth);
  record.signingKey = Cut(entry.signingKey, kSigningKeyWidth);
  record.source = entry.source;
  record.entityGroupName = "Version 3.0";
  record.policy = "Default";
  record.expires = DateTime::Date(2099, 1, 1);
  record.updateStamp = Now();
  return record;
}

void CarryBlock(std::int32_t length, const std::vector<std::uint8_t>& stored, KeyBlock& block) {
  if (length < 150 || length > 512) {
    block.Empty();
    return;
  }
  block.Assign(std::span(stored).first(static_cast<std::size_t>(length)));
}

void AppendDebugLines(const std::string& directory, const std::string& keyId,
                      const std::string& key1, const std::string& key2) {
  std::FILE* out = std::fopen((directory + "DEBUG.TXT").c_str(), "ab");
  if (!out) return;
  const std::string text =
      keyId + " " + key1 + "\r\n" + keyId + " " + key2 + "\r\n" + "________________\r\n";
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
}

}  // namespace

void ImportOlderKeys(TKeysDB& db, KeyTables& target, std::uint8_t source) {
  const DbFile& file = target.File();
  const std::string older = OlderFile(file);
  if (older.empty()) return;
  std::vector<OldKeyEntry> entries;
  try {
    entries = ReadOldKeyFile(older);
  } catch (const nimbra::Exception& error) {
    LogDbError(file, std::string("ImportOldDB -") + error.what());
    return;
  }
  for (const OldKeyEntry& entry : entries) {
    KeyRecord record = RecordOf(entry);
    const std::uint8_t entrySource = record.source;
    record.source = source;
    if (record.displayLabel.find("DSA-") != std::string::npos) {
      record.containerType = "DSA";
      const std::span<const std::uint8_t> text(
          reinterpret_cast<const std::uint8_t*>(entry.dsaText.data()), entry.dsaText.size());
      if (!text.empty()) record.block1.Assign(db.Protect(text, source));
    } else {
      record.containerType = "VRX";
      record.aliases = Cut(entry.aliases, kAliasesWidth);
      CarryBlock(entry.block1Length, entry.block1, record.block1);
      CarryBlock(entry.block2Length, entry.block2, record.block2);
    }
    std::string key1;
    std::string key2;
    if (record.block1.Length() > 0 && db.PublicKeyLetters(record, key1, key2))
      AppendDebugLines(file.Directory(), record.keyId, key1, key2);
    record.source = entrySource;
    target.WriteKey(record, true);
  }
}

}  // namespace nimbra::keys
