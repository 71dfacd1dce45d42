#pragma once

#include <string>
#include <string_view>

#include "keys/db_file.h"
#include "keys/key_record.h"

namespace nimbra::keys {

class FileCache;

// The table layer of one database file: the key table (named as the file)
// and its address table ("URL" + file name), read and written through the
// per-process caches of the file. Every engine error is logged to
// "DBERROR.LOG" beside the file and turned into an empty or false result.
class KeyTables {
 public:
  explicit KeyTables(const DbFile& file);

  const DbFile& File() const { return file_; }

  // Reads the key with this KEY_ID; false when it is not there. The encrypt
  // flag reads true only while the key has not expired. A key whose address
  // table is missing or damaged reads without addresses (logged).
  bool ReadKey(const std::string& keyId, KeyRecord& record);
  // Every KEY_ID of the key table, in KEY_ID order (empty when the table
  // cannot be read; the error is logged).
  std::vector<std::string> KeyIds();
  // The key's addresses, comma-separated, the first one stored last.
  std::string KeyUrlList(std::string_view keyType, const std::string& keyId);
  // The KEY_ID of the first of the comma-separated addresses that has a key
  // of this type; empty when none has. A KEY_ID read from the table brings
  // its key into the record cache too, as the key is usually read next. With wildcard, when none
  // has, the same is asked for "*@" + the part of each address after its "@" (the whole address
  // when it has none).
  std::string ReadUrl(std::string_view addresses, std::string_view keyType, bool wildcard = false);
  // Writes the key and its address links in one transaction, so that a
  // crash leaves either all of it or none. UPDATE_STAMP becomes the current
  // time when stamp is set. False when any step failed.
  bool WriteKey(KeyRecord& record, bool stamp);

 private:
  // withList: the key's address list could be read.
  bool ReadKeyRow(const std::string& keyId, KeyRecord& record, bool& withList);
  // The list from the cache or the table, the cache state being checked.
  std::string CachedUrlList(std::string_view keyType, const std::string& keyId);
  std::string ReadUrlList(class Database& db, std::string_view keyType, const std::string& keyId);
  // Puts the key into the record cache unless it is there, reading it
  // within the caller's read transaction; failures leave the cache as it was.
  void Preload(class Database& db, const std::string& keyId);
  // The first address's KEY_ID; db is opened on the first cache miss.
  std::string FirstKeyId(class Database*& db, std::string_view addresses, std::string_view keyType);
  void WriteKeyRow(class Database& db, const KeyRecord& record);
  bool WriteLinks(class Database& db, const KeyRecord& record);

  DbFile file_;
  FileCache* cache_;
  std::string selectKey_;
  std::string upsertKey_;
  std::string selectList_;
  std::string selectUrl_;
  std::string deleteLinks_;
  std::string upsertLink_;
};

// Applies the expiry rule: the encrypt flag stays on only before EXPIRES.
void ApplyExpiry(KeyRecord& record);

}  // namespace nimbra::keys
