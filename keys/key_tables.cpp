#include "keys/key_tables.h"

#include <array>

#include "core/strings.h"
#include "keys/clock.h"
#include "keys/key_cache.h"
#include "keys/key_schema.h"
#include "keys/sqlite_db.h"
#include "keys/table_pool.h"

namespace nimbra::keys {

namespace {

// The key table's fields a record holds (keys/key_schema.h), in table order:
// the columns of the statements below.
constexpr std::size_t kRecordFieldCount = [] {
  std::size_t count = 0;
  for (const FieldDef& field : kKeyFields) count += field.inRecord ? 1 : 0;
  return count;
}();
constexpr std::array<FieldDef, kRecordFieldCount> kRecordFields = [] {
  std::array<FieldDef, kRecordFieldCount> fields{};
  std::size_t next = 0;
  for (const FieldDef& field : kKeyFields)
    if (field.inRecord) fields[next++] = field;
  return fields;
}();

// A record field's column in a row read (from 0) and its parameter in a
// write (from 1); a name the record does not hold does not compile.
consteval int Column(std::string_view name) {
  for (std::size_t i = 0; i < kRecordFields.size(); ++i)
    if (kRecordFields[i].name == name) return static_cast<int>(i);
  throw "not a field of the record";
}
consteval int Parameter(std::string_view name) {
  return Column(name) + 1;
}
// The stored width of a text field of the key table and of the address table.
consteval std::size_t KeyWidth(std::string_view name) {
  return TextFieldSize(kKeyFields, name);
}
consteval std::size_t UrlWidth(std::string_view name) {
  return TextFieldSize(kUrlFields, name);
}

// "A, B, ..." of the record's columns.
std::string ColumnList() {
  std::string list;
  for (const FieldDef& field : kRecordFields) {
    if (!list.empty()) list += ", ";
    list += field.name;
  }
  return list;
}

// Writes every column of an existing row but KEY_ID; an empty block (its
// length 0) keeps the block stored before.
std::string UpdateList() {
  std::string list;
  for (const FieldDef& field : kRecordFields) {
    if (field.name == "KEY_ID") continue;
    const std::string name(field.name);
    if (!list.empty()) list += ", ";
    if (field.type == FieldType::Binary) {
      list += name + " = CASE WHEN excluded." + name + "_LEN > 0 THEN excluded." + name + " ELSE " +
              name + " END";
    } else {
      list += name + " = excluded." + name;
    }
  }
  return list;
}

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

void ReadBlock(const Statement& st, int blobColumn, int lengthColumn, KeyBlock& block) {
  const std::int64_t length = st.Int(lengthColumn);
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
  CopyText(st, Column("KEY_ID"), kKeyIdWidth, record.keyId);
  CopyText(st, Column("KEY_CONTAINER_TYPE"), kContainerTypeWidth, record.containerType);
  CopyText(st, Column("ENTITY_NAME"), kEntityNameWidth, record.entityName);
  CopyText(st, Column("ENTITY_GROUP_NAME"), kGroupNameWidth, record.entityGroupName);
  record.expires = StoredDate(st, Column("EXPIRES"));
  CopyText(st, Column("VERSION"), kVersionWidth, record.version);
  record.keyClass = ClassFromVersion(record.version);
  record.reference = KeyReference::Parse(st.View(Column("KEY_REFERENCE")));
  record.updateStamp = StoredDate(st, Column("UPDATE_STAMP"));
  CopyText(st, Column("CNTL_POLICY"), kPolicyWidth, record.policy);
  record.encrypt = st.Int(Column("SUB_CNTL_ENCRYPT")) != 0;
  record.showSubject = st.Int(Column("SUB_CNTL_SHOWSUBJECT")) != 0;
  record.multiRecip = st.Int(Column("SUB_CNTL_MULTIRECIP")) != 0;
  record.deliver = st.Int(Column("SUB_CNTL_DELIVER")) != 0;
  record.dsaSigning = st.Int(Column("SUB_CNTL_DSA_Signing")) != 0;
  record.verified = st.Int(Column("SUB_CNTL_Verified")) != 0;
  CopyText(st, Column("SIGNING_NAME"), kSigningNameWidth, record.signingName);
  CopyText(st, Column("SIGNING_KEY"), kSigningKeyWidth, record.signingKey);
  CopyText(st, Column("SIGNING_URL"), kSigningUrlWidth, record.signingUrl);
  CopyText(st, Column("SIGNATURE_ID"), kSignatureIdWidth, record.signatureId);
  CopyText(st, Column("SIGNATURE_TYPE"), kSignatureTypeWidth, record.signatureType);
  CopyText(st, Column("REQUEST_URL"), kRequestUrlWidth, record.requestUrl);
  ReadBlock(st, Column("BLOCK1"), Column("BLOCK1_LEN"), record.block1);
  ReadBlock(st, Column("BLOCK2"), Column("BLOCK2_LEN"), record.block2);
  record.displayLabel = record.ReadLabel();
}

// Binds a block and its length; an empty block is stored as null.
void BindBlock(Statement& st, int blobParameter, int lengthParameter, const KeyBlock& block) {
  if (block.Length() > 0)
    st.BindBlob(blobParameter, block.Bytes());
  else
    st.BindNull(blobParameter);
  st.Bind(lengthParameter, std::int64_t{std::max(block.Length(), 0)});
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
  static const std::string columns = ColumnList();
  static const std::string parameters = [] {
    std::string list;
    for (std::size_t i = 1; i <= kRecordFieldCount; ++i)
      list += (i > 1 ? ", ?" : "?") + std::to_string(i);
    return list;
  }();
  static const std::string updates = UpdateList();
  selectKey_ = "SELECT " + columns + " FROM " + keys + " WHERE KEY_ID = ?1";
  upsertKey_ = "INSERT INTO " + keys + " (" + columns + ") VALUES (" + parameters +
               ") ON CONFLICT (KEY_ID) DO UPDATE SET " + updates;
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

std::vector<std::string> KeyTables::KeyIds() {
  const OperationEnd end(file_);
  std::vector<std::string> ids;
  try {
    Database& db = SafeOpenTable(file_, file_.KeyTable());
    Statement& st =
        db.Prepare("SELECT KEY_ID FROM " + QuoteName(file_.KeyTable()) + " ORDER BY KEY_ID");
    while (st.Step()) ids.push_back(st.Text(0));
    st.Reset();
  } catch (const EDBEngineError& error) {
    LogDbError(file_, std::string("KeyIds- ") + error.what());
    ids.clear();
  }
  return ids;
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
  st.Bind(Parameter("KEY_ID"), Field(record.keyId, KeyWidth("KEY_ID")));
  st.Bind(Parameter("KEY_CONTAINER_TYPE"),
          Field(record.containerType, KeyWidth("KEY_CONTAINER_TYPE")));
  st.Bind(Parameter("ENTITY_NAME"), Field(record.entityName, KeyWidth("ENTITY_NAME")));
  st.Bind(Parameter("ENTITY_GROUP_NAME"),
          Field(record.entityGroupName, KeyWidth("ENTITY_GROUP_NAME")));
  st.Bind(Parameter("EXPIRES"), FormatStoredTime(record.expires));
  st.Bind(Parameter("VERSION"), Field(record.version, KeyWidth("VERSION")));
  st.Bind(Parameter("KEY_REFERENCE"), record.reference.Format());
  st.Bind(Parameter("UPDATE_STAMP"), FormatStoredTime(record.updateStamp));
  st.Bind(Parameter("CNTL_POLICY"), Field(record.policy, KeyWidth("CNTL_POLICY")));
  st.Bind(Parameter("SUB_CNTL_ENCRYPT"), std::int64_t{record.encrypt});
  st.Bind(Parameter("SUB_CNTL_SHOWSUBJECT"), std::int64_t{record.showSubject});
  st.Bind(Parameter("SUB_CNTL_MULTIRECIP"), std::int64_t{record.multiRecip});
  st.Bind(Parameter("SUB_CNTL_DELIVER"), std::int64_t{record.deliver});
  st.Bind(Parameter("SUB_CNTL_DSA_Signing"), std::int64_t{record.dsaSigning});
  st.Bind(Parameter("SUB_CNTL_Verified"), std::int64_t{record.verified});
  st.Bind(Parameter("SIGNING_NAME"), Field(record.signingName, KeyWidth("SIGNING_NAME")));
  st.Bind(Parameter("SIGNING_KEY"), Field(record.signingKey, KeyWidth("SIGNING_KEY")));
  st.Bind(Parameter("SIGNING_URL"), Field(record.signingUrl, KeyWidth("SIGNING_URL")));
  st.Bind(Parameter("SIGNATURE_ID"), Field(record.signatureId, KeyWidth("SIGNATURE_ID")));
  st.Bind(Parameter("SIGNATURE_TYPE"), Field(record.signatureType, KeyWidth("SIGNATURE_TYPE")));
  st.Bind(Parameter("REQUEST_URL"), Field(record.requestUrl, KeyWidth("REQUEST_URL")));
  BindBlock(st, Parameter("BLOCK1"), Parameter("BLOCK1_LEN"), record.block1);
  BindBlock(st, Parameter("BLOCK2"), Parameter("BLOCK2_LEN"), record.block2);
  st.Run();
  st.Reset();
}

bool KeyTables::WriteLinks(Database& db, const KeyRecord& record) {
  std::vector<std::string> addresses;
  for (std::string& address : SplitCommaList(record.aliases))
    if (!address.empty()) addresses.push_back(Field(address, UrlWidth("URL")));
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
  const std::string keyType = Field(record.containerType, UrlWidth("KEY_TYPE"));
  const std::string keyId = Field(record.keyId, UrlWidth("KEY_ID"));
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
