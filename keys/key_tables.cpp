#include "keys/key_tables.h"

#include "core/strings.h"
#include "keys/clock.h"
#include "keys/key_cache.h"
#include "keys/sqlite_db.h"
#include "keys/table_pool.h"

namespace nimbra::keys {

namespace {

constexpr const char* kKeyColumns =
    "KEY_ID, KEY_CONTAINER_TYPE, ENTITY_NAME, ENTITY_GROUP_NAME, EXPIRES, VERSION, "
    "KEY_REFERENCE, UPDATE_STAMP, CNTL_POLICY, SUB_CNTL_ENCRYPT, SUB_CNTL_SHOWSUBJECT, "
    "SUB_CNTL_MULTIRECIP, SUB_CNTL_DELIVER, SUB_CNTL_DSA_Signing, SUB_CNTL_Verified, "
    "SIGNING_NAME, SIGNING_KEY, SIGNING_URL, SIGNATURE_ID, SIGNATURE_TYPE, REQUEST_URL, "
    "BLOCK1, BLOCK1_LEN, BLOCK2, BLOCK2_LEN";

// The zero date of the stored form, for date fields left empty.
const DateTime kZeroDate = DateTime::Date(1899, 12, 30);

// Reads "nn" digits at text[at..at+count); false when one is not a digit.
bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// The stored form as this table layer writes it, "yyyy-mm-dd hh:nn:ss.zzz",
// read without the general parser (every key read has two of them); any
// other form goes through ParseStoredTime.
std::optional<DateTime> FastStoredTime(std::string_view t) {
  if (t.size() != 23 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' ||
      t[16] != ':' || t[19] != '.')
    return std::nullopt;
  DateTime value;
  if (!Digits(t, 0, 4, value.year) || !Digits(t, 5, 2, value.month) ||
      !Digits(t, 8, 2, value.day) || !Digits(t, 11, 2, value.hour) ||
      !Digits(t, 14, 2, value.minute) || !Digits(t, 17, 2, value.second) ||
      !Digits(t, 20, 3, value.millisecond) || !value.IsValid())
    return std::nullopt;
  return value;
}

DateTime StoredDate(const Statement& st, int column) {
  if (st.IsNull(column)) return kZeroDate;
  const std::string_view text = st.View(column);
  if (auto fast = FastStoredTime(text)) return *fast;
  return ParseStoredTime(text).value_or(kZeroDate);
}

// "*@" + the part of each comma-separated address after its "@" (the whole
// address when it has none), comma-separated.
std::string WildcardDomains(std::string_view addresses) {
  std::string domains;
  std::string_view rest = addresses;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view one = Trim(rest.substr(0, comma));
    if (!one.empty()) {
      const std::size_t at = one.find('@');
      if (!domains.empty()) domains += ',';
      domains += "*@";
      domains += at == std::string_view::npos ? one : one.substr(at + 1);
    }
    if (comma == std::string_view::npos) return domains;
    rest.remove_prefix(comma + 1);
  }
}

// Copies a column into a record's text, cut to the record's width.
void CopyText(const Statement& st, int column, std::size_t width, std::string& target) {
  const std::string_view text = st.View(column);
  target.assign(text.substr(0, width));
}

void ReadBlock(const Statement& st, int blobColumn, KeyBlock& block) {
  const std::int64_t length = st.Int(blobColumn + 1);
  if (length <= 0) {
    block.Empty();
    return;
  }
  auto bytes = st.Blob(blobColumn);
  if (static_cast<std::int64_t>(bytes.size()) > length) bytes = bytes.first(std::size_t(length));
  block.Assign(bytes);
}

// The key class is not a field of its own; it is the digit after the last
// "-" of VERSION ("VRX Strong -1"), 0 when there is none.
std::uint8_t ClassFromVersion(std::string_view version) {
  const std::size_t dash = version.rfind('-');
  if (dash == std::string_view::npos || dash + 1 >= version.size()) return 0;
  const char digit = version[dash + 1];
  if (digit < '0' || digit > '4') return 0;
  return static_cast<std::uint8_t>(digit - '0');
}

std::string Field(std::string_view value, std::size_t size) {
  return Cut(value, size);
}

// Copies the current row of the key statement into the record, all but
// the aliases.
void FillRecord(const Statement& st, KeyRecord& record) {
  CopyText(st, 0, kKeyIdWidth, record.keyId);
  CopyText(st, 1, kContainerTypeWidth, record.containerType);
  CopyText(st, 2, kEntityNameWidth, record.entityName);
  CopyText(st, 3, kGroupNameWidth, record.entityGroupName);
  record.expires = StoredDate(st, 4);
  CopyText(st, 5, kVersionWidth, record.version);
  record.keyClass = ClassFromVersion(record.version);
  record.reference = KeyReference::Parse(st.View(6));
  record.updateStamp = StoredDate(st, 7);
  CopyText(st, 8, kPolicyWidth, record.policy);
  record.encrypt = st.Int(9) != 0;
  record.showSubject = st.Int(10) != 0;
  record.multiRecip = st.Int(11) != 0;
  record.deliver = st.Int(12) != 0;
  record.dsaSigning = st.Int(13) != 0;
  record.verified = st.Int(14) != 0;
  CopyText(st, 15, kSigningNameWidth, record.signingName);
  CopyText(st, 16, kSigningKeyWidth, record.signingKey);
  CopyText(st, 17, kSigningUrlWidth, record.signingUrl);
  CopyText(st, 18, kSignatureIdWidth, record.signatureId);
  CopyText(st, 19, kSignatureTypeWidth, record.signatureType);
  CopyText(st, 20, kRequestUrlWidth, record.requestUrl);
  ReadBlock(st, 21, record.block1);
  ReadBlock(st, 23, record.block2);
  record.displayLabel = record.ReadLabel();
}

// Ends an operation on a file: a shared file's connection goes at once.
class OperationEnd {
 public:
  explicit OperationEnd(const DbFile& file) : file_(file) {}
  ~OperationEnd() {
    if (file_.shared) CloseTables(file_);
  }
  OperationEnd(const OperationEnd&) = delete;
  OperationEnd& operator=(const OperationEnd&) = delete;

 private:
  const DbFile& file_;
};

}  // namespace

void ApplyExpiry(KeyRecord& record) {
  record.encrypt = record.encrypt && Now() < record.expires;
}

KeyTables::KeyTables(const DbFile& file) : file_(file), cache_(&CacheOf(file)) {
  const std::string keys = QuoteName(file.KeyTable());
  const std::string urls = QuoteName(file.UrlTable());
  selectKey_ = std::string("SELECT ") + kKeyColumns + " FROM " + keys + " WHERE KEY_ID = ?1";
  upsertKey_ =
      "INSERT INTO " + keys + " (" + kKeyColumns +
      ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, "
      "?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25) "
      "ON CONFLICT (KEY_ID) DO UPDATE SET KEY_CONTAINER_TYPE = excluded.KEY_CONTAINER_TYPE, "
      "ENTITY_NAME = excluded.ENTITY_NAME, ENTITY_GROUP_NAME = excluded.ENTITY_GROUP_NAME, "
      "EXPIRES = excluded.EXPIRES, VERSION = excluded.VERSION, "
      "KEY_REFERENCE = excluded.KEY_REFERENCE, UPDATE_STAMP = excluded.UPDATE_STAMP, "
      "CNTL_POLICY = excluded.CNTL_POLICY, SUB_CNTL_ENCRYPT = excluded.SUB_CNTL_ENCRYPT, "
      "SUB_CNTL_SHOWSUBJECT = excluded.SUB_CNTL_SHOWSUBJECT, "
      "SUB_CNTL_MULTIRECIP = excluded.SUB_CNTL_MULTIRECIP, "
      "SUB_CNTL_DELIVER = excluded.SUB_CNTL_DELIVER, "
      "SUB_CNTL_DSA_Signing = excluded.SUB_CNTL_DSA_Signing, "
      "SUB_CNTL_Verified = excluded.SUB_CNTL_Verified, "
      "SIGNING_NAME = excluded.SIGNING_NAME, SIGNING_KEY = excluded.SIGNING_KEY, "
      "SIGNING_URL = excluded.SIGNING_URL, SIGNATURE_ID = excluded.SIGNATURE_ID, "
      "SIGNATURE_TYPE = excluded.SIGNATURE_TYPE, REQUEST_URL = excluded.REQUEST_URL, "
      "BLOCK1 = CASE WHEN excluded.BLOCK1_LEN > 0 THEN excluded.BLOCK1 ELSE BLOCK1 END, "
      "BLOCK1_LEN = excluded.BLOCK1_LEN, "
      "BLOCK2 = CASE WHEN excluded.BLOCK2_LEN > 0 THEN excluded.BLOCK2 ELSE BLOCK2 END, "
      "BLOCK2_LEN = excluded.BLOCK2_LEN";
  selectList_ = "SELECT URL, KEY_TYPE FROM " + urls + " WHERE KEY_ID = ?1 ORDER BY rowid";
  selectUrl_ = "SELECT KEY_ID FROM " + urls + " WHERE URL = ?1 AND KEY_TYPE = ?2";
  deleteLinks_ = "DELETE FROM " + urls + " WHERE KEY_ID = ?1";
  upsertLink_ = "INSERT INTO " + urls +
                " (URL, KEY_TYPE, KEY_ID) VALUES (?1, ?2, ?3) "
                "ON CONFLICT (URL, KEY_TYPE) DO UPDATE SET KEY_ID = excluded.KEY_ID";
}

bool KeyTables::ReadKey(const std::string& keyId, KeyRecord& record) {
  const OperationEnd end(file_);
  cache_->Refresh();
  if (cache_->FindRecord(keyId, record)) {
    ApplyExpiry(record);
    return true;
  }
  bool withList = false;
  try {
    if (!ReadKeyRow(keyId, record, withList)) return false;
  } catch (const EDBEngineError& error) {
    LogDbError(file_, std::string("ReadKeyRec3- ") + error.what());
    return false;
  }
  // A record whose addresses could not be read is not kept: the next read
  // tries the address table again.
  if (withList) cache_->PutRecord(record);
  ApplyExpiry(record);
  return true;
}

bool KeyTables::ReadKeyRow(const std::string& keyId, KeyRecord& record, bool& withList) {
  // The address table is not needed to read a key: a missing or damaged one
  // costs the key its address list, not the key.
  Database& db = SafeOpenTable(file_, file_.KeyTable());
  Statement& st = db.Prepare(selectKey_);
  st.Bind(1, keyId);
  if (!st.Step()) {
    st.Reset();
    return false;
  }
  FillRecord(st, record);
  // The address list is read while the row's statement is still active, so
  // that both reads share one read transaction (one lock of the file).
  std::optional<std::string> list = cache_->FindList(record.keyId);
  std::string failure;
  if (!list) {
    try {
      list = ReadUrlList(db, record.containerType, record.keyId);
      cache_->PutList(record.keyId, *list);
    } catch (const EDBEngineError& error) {
      failure = error.what();
    }
  }
  st.Reset();
  withList = list.has_value();
  if (!list) {
    // The walk failed: logged, and started once more on a fresh connection.
    LogDbError(file_, "GETKEYURLLIST-" + failure);
    CloseTables(file_);
    LogDbError(file_, "GETKEYURLLIST- RECOVERED");
    try {
      list =
          ReadUrlList(SafeOpenTable(file_, file_.UrlTable()), record.containerType, record.keyId);
      cache_->PutList(record.keyId, *list);
      withList = true;
    } catch (const EDBEngineError& error) {
      LogDbError(file_, std::string("GETKEYURLLIST-") + error.what());
      list.emplace();
    }
  }
  if (list->size() > kAliasesWidth) list->resize(kAliasesWidth);
  record.aliases = std::move(*list);
  return true;
}

void KeyTables::Preload(Database& db, const std::string& keyId) {
  if (cache_->HasRecord(keyId)) return;
  Statement* active = nullptr;
  try {
    Statement& st = db.Prepare(selectKey_);
    active = &st;
    st.Bind(1, keyId);
    if (st.Step()) {
      KeyRecord record;
      FillRecord(st, record);
      std::optional<std::string> list = cache_->FindList(record.keyId);
      if (!list) {
        list = ReadUrlList(db, record.containerType, record.keyId);
        cache_->PutList(record.keyId, *list);
      }
      if (list->size() > kAliasesWidth) list->resize(kAliasesWidth);
      record.aliases = std::move(*list);
      cache_->PutRecord(record);
    }
    st.Reset();
  } catch (const EDBEngineError&) {
    // Not cached: ReadKey reads the key itself and reports the failure.
    if (active) active->Reset();
  }
}

std::string KeyTables::KeyUrlList(std::string_view keyType, const std::string& keyId) {
  const OperationEnd end(file_);
  cache_->Refresh();
  return CachedUrlList(keyType, keyId);
}

std::string KeyTables::CachedUrlList(std::string_view keyType, const std::string& keyId) {
  if (auto cached = cache_->FindList(keyId)) return *cached;
  // A failed walk is started once more on a fresh connection; a second
  // failure gives an empty list rather than trying forever.
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      std::string list = ReadUrlList(SafeOpenTable(file_, file_.UrlTable()), keyType, keyId);
      cache_->PutList(keyId, list);
      return list;
    } catch (const EDBEngineError& error) {
      LogDbError(file_, std::string("GETKEYURLLIST-") + error.what());
      CloseTables(file_);
      if (attempt == 0) LogDbError(file_, "GETKEYURLLIST- RECOVERED");
    }
  }
  return {};
}

std::string KeyTables::ReadUrlList(Database& db, std::string_view keyType,
                                   const std::string& keyId) {
  Statement& st = db.Prepare(selectList_);
  st.Bind(1, keyId);
  std::string list;
  while (st.Step()) {
    const std::string_view address = st.View(0);
    const std::string_view type = st.View(1);
    cache_->PutAddress(address, type.empty() ? keyType : type, keyId);
    // Each further address goes in front of the list.
    if (!list.empty()) list.insert(0, 1, ',');
    list.insert(0, address);
  }
  st.Reset();
  return list;
}

std::string KeyTables::ReadUrl(std::string_view addresses, std::string_view keyType,
                               bool wildcard) {
  // One stamp check and at most one open for both passes.
  const OperationEnd end(file_);
  cache_->Refresh();
  try {
    Database* db = nullptr;
    std::string keyId = FirstKeyId(db, addresses, keyType);
    if (keyId.empty() && wildcard) {
      const std::string domains = WildcardDomains(addresses);
      if (!domains.empty()) keyId = FirstKeyId(db, domains, keyType);
    }
    return keyId;
  } catch (const EDBEngineError& error) {
    LogDbError(file_, std::string("ReadURL -") + error.what());
    return {};
  }
}

std::string KeyTables::FirstKeyId(Database*& db, std::string_view addresses,
                                  std::string_view keyType) {
  std::string_view rest = addresses;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view address = Trim(rest.substr(0, comma));
    if (!address.empty()) {
      std::optional<std::string> keyId = cache_->FindAddress(address, keyType);
      if (!keyId) {
        if (!db) db = &SafeOpenTable(file_, file_.UrlTable());
        Statement& st = db->Prepare(selectUrl_);
        st.Bind(1, address).Bind(2, keyType);
        keyId = st.Step() ? st.Text(0) : std::string();
        // Read in the same read transaction: callers read the key next.
        if (!keyId->empty()) Preload(*db, *keyId);
        st.Reset();
        cache_->PutAddress(address, keyType, *keyId);
      }
      if (!keyId->empty()) return std::move(*keyId);
    }
    if (comma == std::string_view::npos) return {};
    rest.remove_prefix(comma + 1);
  }
}

bool KeyTables::WriteKey(KeyRecord& record, bool stamp) {
  const OperationEnd end(file_);
  if (stamp) record.updateStamp = Now();
  bool ok = false;
  bool stamped = false;
  try {
    Database& db = SafeOpenTable(file_, file_.KeyTable(), file_.UrlTable());
    Transaction transaction(db, kOpenRetries);
    // Stamped while holding the write lock: any other writer either
    // committed before (and its stamp is seen here) or waits until after.
    cache_->MarkChanged();
    stamped = true;
    WriteKeyRow(db, record);
    ok = WriteLinks(db, record);
    transaction.Commit();
  } catch (const EDBEngineError& error) {
    LogDbError(file_, std::string("WriteKeyRec -") + error.what());
    ok = false;
  }
  if (stamped) cache_->MarkChanged();
  // The caches were updated while the transaction ran; after a failure
  // they may describe rows that were never stored.
  if (ok)
    cache_->PutRecord(record);
  else
    cache_->Clear();
  return ok;
}

void KeyTables::WriteKeyRow(Database& db, const KeyRecord& record) {
  Statement& st = db.Prepare(upsertKey_);
  st.Bind(1, Field(record.keyId, 20));
  st.Bind(2, Field(record.containerType, 7));
  st.Bind(3, Field(record.entityName, 60));
  st.Bind(4, Field(record.entityGroupName, 20));
  st.Bind(5, FormatStoredTime(record.expires));
  st.Bind(6, Field(record.version, 40));
  st.Bind(7, record.reference.Format());
  st.Bind(8, FormatStoredTime(record.updateStamp));
  st.Bind(9, Field(record.policy, 40));
  st.Bind(10, std::int64_t{record.encrypt});
  st.Bind(11, std::int64_t{record.showSubject});
  st.Bind(12, std::int64_t{record.multiRecip});
  st.Bind(13, std::int64_t{record.deliver});
  st.Bind(14, std::int64_t{record.dsaSigning});
  st.Bind(15, std::int64_t{record.verified});
  st.Bind(16, Field(record.signingName, 100));
  st.Bind(17, Field(record.signingKey, 240));
  st.Bind(18, Field(record.signingUrl, 100));
  st.Bind(19, Field(record.signatureId, 40));
  st.Bind(20, Field(record.signatureType, 40));
  st.Bind(21, Field(record.requestUrl, 100));
  const KeyBlock* blocks[2] = {&record.block1, &record.block2};
  for (int i = 0; i < 2; ++i) {
    const int column = 22 + 2 * i;
    if (blocks[i]->Length() > 0)
      st.BindBlob(column, blocks[i]->Bytes());
    else
      st.BindNull(column);
    st.Bind(column + 1, std::int64_t{std::max(blocks[i]->Length(), 0)});
  }
  st.Run();
  st.Reset();
}

bool KeyTables::WriteLinks(Database& db, const KeyRecord& record) {
  std::vector<std::string> addresses;
  for (std::string& address : SplitCommaList(record.aliases))
    if (!address.empty()) addresses.push_back(Field(address, 100));
  const std::optional<std::string> cached = cache_->FindList(record.keyId);
  if (!cached || *cached != record.aliases) {
    Statement& old = db.Prepare(selectList_);
    old.Bind(1, record.keyId);
    while (old.Step()) cache_->RemoveAddress(old.Text(0), old.Text(1));
    old.Reset();
    Statement& drop = db.Prepare(deleteLinks_);
    drop.Bind(1, record.keyId).Run();
    drop.Reset();
    cache_->DropList(record.keyId);
  }
  cache_->PutList(record.keyId, record.aliases);
  bool ok = true;
  const std::string keyType = Field(record.containerType, 7);
  const std::string keyId = Field(record.keyId, 20);
  for (const std::string& address : addresses) {
    try {
      // An address linked to another key moves to this one: that key's
      // cached record and list lose it (they are read again), so that
      // writing that key back as read does not take the address back.
      Statement& owner = db.Prepare(selectUrl_);
      owner.Bind(1, address).Bind(2, keyType);
      const std::string previous = owner.Step() ? owner.Text(0) : std::string();
      owner.Reset();
      if (!previous.empty() && previous != keyId) cache_->DropKey(previous);
      Statement& link = db.Prepare(upsertLink_);
      link.Bind(1, address).Bind(2, keyType).Bind(3, keyId).Run();
      link.Reset();
      cache_->PutAddress(address, keyType, record.keyId);
    } catch (const EDBEngineError& error) {
      LogDbError(file_, std::string("WriteURL -") + error.what());
      cache_->RemoveAddress(address, keyType);
      ok = false;
    }
  }
  return ok;
}

}  // namespace nimbra::keys
