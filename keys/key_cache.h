#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "keys/db_file.h"
#include "keys/key_record.h"
#include "platform/files/file_stamp.h"

namespace nimbra::keys {

// The three per-process caches of one database file (records by KEY_ID,
// KEY_IDs by address and key type, address lists by KEY_ID) and the owner
// stamp they were filled under. Each cache holds at most kMaxEntries
// entries; a cache that would grow past that is emptied first.
//
// Checking the stamp costs one stat() of the companion ".ini" while the file
// is unchanged; the file is read again when its status changed or when it
// was modified so recently that a further change could leave its status
// alike (file times are coarser than the writes).
class FileCache {
 public:
  static constexpr std::size_t kMaxEntries = 65536;

  explicit FileCache(const DbFile& file);
  // The same file under another spelling: its stamp is read and written there.
  void Rebind(const DbFile& file);

  // Reads the stamp; when it differs from the last one seen, empties the
  // caches and remembers it.
  void Refresh();
  // Writes a fresh stamp as this process's own (before and after each write).
  // When the stamp found in the file is not the one last seen, another
  // process wrote in between, and the caches are emptied first.
  void MarkChanged();

  bool FindRecord(const std::string& keyId, KeyRecord& record);
  bool HasRecord(const std::string& keyId) const { return records_.contains(keyId); }
  void PutRecord(const KeyRecord& record);
  // Forgets the key's record and address list (another key took one of its
  // addresses); the next read goes to the table.
  void DropKey(const std::string& keyId);
  // A cached look-up: the KEY_ID, or an empty text for an address known to
  // have no key; nullopt when not cached.
  std::optional<std::string> FindAddress(std::string_view address, std::string_view keyType);
  void PutAddress(std::string_view address, std::string_view keyType, const std::string& keyId);
  void RemoveAddress(std::string_view address, std::string_view keyType);
  std::optional<std::string> FindList(const std::string& keyId);
  void PutList(const std::string& keyId, const std::string& list);
  void DropList(const std::string& keyId);

  void Clear();

 private:
  void Fail(std::string_view what, const std::exception& error);
  static std::string AddressKey(std::string_view address, std::string_view keyType);

  DbFile file_;
  std::string stamp_;
  platform::FileStamp status_;
  bool statusTrusted_ = false;
  std::unordered_map<std::string, KeyRecord> records_;
  std::unordered_map<std::string, std::string> addresses_;
  std::unordered_map<std::string, std::string> lists_;
};

// The caches of a database file, made on first use and kept for the life of
// the process. Callers use them from one thread at a time.
FileCache& CacheOf(const DbFile& file);
// Empties the caches of every file (tests, and a process that hands its
// databases over).
void ClearAllCaches();

}  // namespace nimbra::keys
