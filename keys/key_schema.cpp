#include "keys/key_schema.h"

#include <array>

#include "core/strings.h"
#include "keys/sqlite_db.h"
#include "keys/table_pool.h"

namespace nimbra::keys {

namespace {

using enum FieldType;

constexpr std::array<FieldDef, 31> kKeyFields = {{
    {"KEY_ID", Text, 20},
    {"KEY_CONTAINER_TYPE", Text, 7},
    {"ENTITY_NAME", Text, 60},
    {"ENTITY_GROUP_NAME", Text, 20},
    {"EXPIRES", DateTime, 0},
    {"VERSION", Text, 40},
    {"KEY_REFERENCE", Text, 8},
    {"UPDATE_STAMP", DateTime, 0},
    {"CNTL_POLICY", Text, 40},
    {"SUB_CNTL_ENCRYPT", Boolean, 0},
    {"SUB_CNTL_SHOWSUBJECT", Boolean, 0},
    {"SUB_CNTL_MULTIRECIP", Boolean, 0},
    {"SUB_CNTL_DELIVER", Boolean, 0},
    {"SUB_CNTL_DSA_Signing", Boolean, 0},
    {"SUB_CNTL_Verified", Boolean, 0},
    {"DESC_NAME", Text, 64},
    {"DESC_ORGANISATION", Text, 64},
    {"DESC_ADDRESS", Text, 240},
    {"DESC_PHONE", Text, 30},
    {"DESC_FAX", Text, 30},
    {"DESC_URL", Text, 100},
    {"BLOCK1", Binary, 0},
    {"BLOCK1_LEN", Integer, 0},
    {"BLOCK2", Binary, 0},
    {"BLOCK2_LEN", Integer, 0},
    {"SIGNING_NAME", Text, 100},
    {"SIGNING_KEY", Text, 240},
    {"SIGNING_URL", Text, 100},
    {"SIGNATURE_ID", Text, 40},
    {"SIGNATURE_TYPE", Text, 40},
    {"REQUEST_URL", Text, 100},
}};

constexpr std::array<FieldDef, 3> kUrlFields = {{
    {"URL", Text, 100},
    {"KEY_TYPE", Text, 7},
    {"KEY_ID", Text, 20},
}};

std::string ColumnType(const FieldDef& field) {
  switch (field.type) {
    case Text:
      return "VARCHAR(" + std::to_string(field.size) + ")";
    case DateTime:
      return "TIMESTAMP";
    case Boolean:
      return "BOOLEAN";
    case Binary:
      return "BLOB";
    case Integer:
      return "INTEGER";
  }
  return "TEXT";
}

std::string KeyTableSql(const DbFile& file) {
  std::string sql = "CREATE TABLE " + QuoteName(file.KeyTable()) + " (";
  for (const FieldDef& field : kKeyFields) {
    sql += std::string(field.name) + " " + ColumnType(field);
    // The primary index: unique and case-sensitive (binary collation).
    if (field.name == "KEY_ID") sql += " NOT NULL PRIMARY KEY";
    sql += ", ";
  }
  sql.resize(sql.size() - 2);
  return sql + ")";
}

std::string UrlTableSql(const DbFile& file) {
  // The primary index on "URL;KEY_TYPE" is unique and case-insensitive.
  return "CREATE TABLE " + QuoteName(file.UrlTable()) +
         " (URL VARCHAR(100) NOT NULL COLLATE NOCASE, KEY_TYPE VARCHAR(7) NOT NULL COLLATE NOCASE,"
         " KEY_ID VARCHAR(20) NOT NULL, PRIMARY KEY (URL, KEY_TYPE))";
}

constexpr const char* kDescriptionTable = "TableDescriptions";

}  // namespace

std::span<const FieldDef> KeyTableFields() {
  return kKeyFields;
}
std::span<const FieldDef> UrlTableFields() {
  return kUrlFields;
}

std::size_t KeyFieldSize(std::string_view name) {
  for (const FieldDef& field : kKeyFields)
    if (SameText(field.name, name)) return field.type == Text ? field.size : 0;
  return 0;
}

bool CreateTables(const DbFile& file) {
  Database db(file.path, true, kLockWaitMs);
  // The rollback journal, for the user's own set as for the shared one: the
  // shared set lives on a folder that several computers use, where a
  // write-ahead log (which needs one host's shared memory, and write access
  // even to read) does not work, and both sets may be one file when they
  // resolve to one folder. Readers of a file on a read-only share need
  // nothing but the file.
  db.Exec("PRAGMA journal_mode=DELETE");
  db.Exec("BEGIN EXCLUSIVE");
  try {
    if (db.TableExists(file.KeyTable()) && db.TableExists(file.UrlTable())) {
      db.Exec("COMMIT");
      return false;
    }
    db.Exec(KeyTableSql(file));
    db.Exec(UrlTableSql(file));
    db.Exec("CREATE INDEX " + QuoteName(kAliasesIndex) + " ON " + QuoteName(file.UrlTable()) +
            " (KEY_ID)");
    db.Exec(
        std::string("CREATE TABLE IF NOT EXISTS ") + kDescriptionTable +
        " (TABLE_NAME VARCHAR(100) NOT NULL COLLATE NOCASE PRIMARY KEY, DESCRIPTION VARCHAR(100))");
    Statement& describe = db.Prepare(std::string("INSERT OR REPLACE INTO ") + kDescriptionTable +
                                     " (TABLE_NAME, DESCRIPTION) VALUES (?1, ?2)");
    describe.Bind(1, file.KeyTable()).Bind(2, kKeyTableDescription).Run();
    describe.Reset();
    describe.Bind(1, file.UrlTable()).Bind(2, kUrlTableDescription).Run();
    describe.Reset();
    db.Exec("COMMIT");
  } catch (...) {
    try {
      db.Exec("ROLLBACK");
    } catch (const EDBEngineError&) {
    }
    throw;
  }
  return true;
}

std::string TableDescription(Database& db, std::string_view table) {
  if (!db.TableExists(kDescriptionTable)) return {};
  Statement& st = db.Prepare(std::string("SELECT DESCRIPTION FROM ") + kDescriptionTable +
                             " WHERE TABLE_NAME = ?1");
  st.Bind(1, table);
  std::string description = st.Step() ? st.Text(0) : std::string();
  st.Reset();
  return description;
}

}  // namespace nimbra::keys
