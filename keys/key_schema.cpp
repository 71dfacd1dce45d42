#include "keys/key_schema.h"

#include "keys/sqlite_db.h"
#include "keys/table_pool.h"

namespace nimbra::keys {

namespace {

std::string ColumnType(const FieldDef& field) {
  switch (field.type) {
    case FieldType::Text:
      return "VARCHAR(" + std::to_string(field.size) + ")";
    case FieldType::DateTime:
      return "TIMESTAMP";
    case FieldType::Boolean:
      return "BOOLEAN";
    case FieldType::Binary:
      return "BLOB";
    case FieldType::Integer:
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
  std::string sql = "CREATE TABLE " + QuoteName(file.UrlTable()) + " (";
  for (const FieldDef& field : kUrlFields) {
    sql += std::string(field.name) + " " + ColumnType(field) + " NOT NULL";
    if (field.name != "KEY_ID") sql += " COLLATE NOCASE";
    sql += ", ";
  }
  return sql + "PRIMARY KEY (URL, KEY_TYPE))";
}

constexpr const char* kDescriptionTable = "TableDescriptions";

}  // namespace

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
