#include "keys/key_cache.h"

#include <time.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "core/strings.h"
#include "keys/owner_stamp.h"

namespace nimbra::keys {

namespace {

// A stamp file modified less than this long ago is read again even when its
// status looks unchanged.
constexpr std::int64_t kRacyWindowNs = 100'000'000;

std::int64_t Ns(const timespec& t) {
  return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t WallNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return Ns(now);
}

template <typename Map>
void Bound(Map& map) {
  if (map.size() >= FileCache::kMaxEntries) map.clear();
}

}  // namespace

FileCache::FileCache(const DbFile& file) : file_(file) {}

void FileCache::Rebind(const DbFile& file) {
  if (file.StampPath() == file_.StampPath()) return;
  file_ = file;
  statusTrusted_ = false;
}

void FileCache::Refresh() {
  const platform::FileStamp status = platform::FileStamp::Of(file_.StampPath().c_str());
  if (statusTrusted_ && status == status_) return;
  const std::string stamp = OwnerStamp::Read(file_.StampPath());
  if (stamp != stamp_) {
    Clear();
    stamp_ = stamp;
  }
  status_ = status;
  statusTrusted_ = WallNs() - status.LastChangeNs() > kRacyWindowNs;
}

void FileCache::MarkChanged() {
  const std::string stamp = OwnerStamp::Make();
  bool ok = false;
  const std::string previous = OwnerStamp::Replace(file_.StampPath(), stamp, &ok);
  if (previous != stamp_) Clear();
  stamp_ = ok ? stamp : previous;
  status_ = platform::FileStamp::Of(file_.StampPath().c_str());
  statusTrusted_ = false;
}

void FileCache::Fail(std::string_view what, const std::exception& error) {
  LogDbError(file_, std::string(what) + error.what());
  try {
    Clear();
  } catch (...) {
    LogDbEvent(file_.Directory(), "Cache Manager", "Error while dumping cache -1");
  }
}

bool FileCache::FindRecord(const std::string& keyId, KeyRecord& record) {
  try {
    auto it = records_.find(keyId);
    if (it == records_.end()) return false;
    record = it->second;
    return true;
  } catch (const std::exception& e) {
    Fail("Exception InObjCache : ", e);
    return false;
  }
}

void FileCache::PutRecord(const KeyRecord& record) {
  try {
    Bound(records_);
    records_.insert_or_assign(record.keyId, record);
  } catch (const std::exception& e) {
    Fail("Exception SaveRecObj : ", e);
  }
}

void FileCache::DropKey(const std::string& keyId) {
  try {
    records_.erase(keyId);
    lists_.erase(keyId);
  } catch (const std::exception& e) {
    Fail("Exception Clear Key from inRefCache : ", e);
  }
}

std::string FileCache::AddressKey(std::string_view address, std::string_view keyType) {
  // Addresses and key types match without regard to case, as in the table.
  std::string key;
  key.reserve(address.size() + 1 + keyType.size());
  key.append(address).append(1, '\0').append(keyType);
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return key;
}

std::optional<std::string> FileCache::FindAddress(std::string_view address,
                                                  std::string_view keyType) {
  try {
    auto it = addresses_.find(AddressKey(address, keyType));
    if (it == addresses_.end()) return std::nullopt;
    return it->second;
  } catch (const std::exception& e) {
    Fail("Exception inURLCache : ", e);
    return std::nullopt;
  }
}

void FileCache::PutAddress(std::string_view address, std::string_view keyType,
                           const std::string& keyId) {
  try {
    Bound(addresses_);
    addresses_.insert_or_assign(AddressKey(address, keyType), keyId);
  } catch (const std::exception& e) {
    Fail("Exception SaveURLCache : ", e);
  }
}

void FileCache::RemoveAddress(std::string_view address, std::string_view keyType) {
  try {
    addresses_.erase(AddressKey(address, keyType));
  } catch (const std::exception& e) {
    Fail("Exception inURLCache : ", e);
  }
}

std::optional<std::string> FileCache::FindList(const std::string& keyId) {
  try {
    auto it = lists_.find(keyId);
    if (it == lists_.end()) return std::nullopt;
    return it->second;
  } catch (const std::exception& e) {
    Fail("Exception inRefCache : ", e);
    return std::nullopt;
  }
}

void FileCache::PutList(const std::string& keyId, const std::string& list) {
  try {
    Bound(lists_);
    lists_.insert_or_assign(keyId, list);
  } catch (const std::exception& e) {
    Fail("Exception SaveRefCache : ", e);
  }
}

void FileCache::DropList(const std::string& keyId) {
  try {
    lists_.erase(keyId);
  } catch (const std::exception& e) {
    Fail("Exception Clear Key from inRefCache : ", e);
  }
}

void FileCache::Clear() {
  records_.clear();
  addresses_.clear();
  lists_.clear();
}

namespace {

std::mutex registryMutex;
std::map<std::string, std::unique_ptr<FileCache>>& Registry() {
  static std::map<std::string, std::unique_ptr<FileCache>> registry;
  return registry;
}

}  // namespace

FileCache& CacheOf(const DbFile& file) {
  std::lock_guard lock(registryMutex);
  auto& slot = Registry()[file.Identity()];
  if (!slot) slot = std::make_unique<FileCache>(file);
  // The file as spelt now: its stamp is the one beside that spelling.
  slot->Rebind(file);
  return *slot;
}

void ClearAllCaches() {
  std::lock_guard lock(registryMutex);
  for (auto& [name, cache] : Registry()) cache->Clear();
}

}  // namespace nimbra::keys
