#include "keys/sqlite_db.h"

#include <sqlite3.h>

namespace nimbra::keys {

namespace {

[[noreturn]] void Raise(sqlite3* db, int rc) {
  throw EDBEngineError(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc), rc & 0xff);
}

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  if (rc != SQLITE_OK) Raise(db, rc);
}

Statement::~Statement() {
  sqlite3_finalize(stmt_);
}

void Statement::Fail() const {
  Raise(db_, sqlite3_errcode(db_));
}

Statement& Statement::Bind(int index, std::string_view text) {
  if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT) != SQLITE_OK)
    Fail();
  return *this;
}

Statement& Statement::Bind(int index, std::int64_t value) {
  if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) Fail();
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  if (sqlite3_bind_double(stmt_, index, value) != SQLITE_OK) Fail();
  return *this;
}

Statement& Statement::BindBlob(int index, std::span<const std::uint8_t> bytes) {
  if (sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()),
                        SQLITE_TRANSIENT) != SQLITE_OK)
    Fail();
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) Fail();
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const std::string message = sqlite3_errmsg(db_);
  sqlite3_reset(stmt_);
  throw EDBEngineError(message, rc & 0xff);
}

void Statement::Run() {
  while (Step()) {
  }
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool Statement::IsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string Statement::Text(int column) const {
  return std::string(View(column));
}

std::string_view Statement::View(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  if (!text) return {};
  return {reinterpret_cast<const char*>(text),
          static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::int64_t Statement::Int(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

double Statement::Real(int column) const {
  return sqlite3_column_double(stmt_, column);
}

std::span<const std::uint8_t> Statement::Blob(int column) const {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
  if (!data) return {};
  return {data, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

Database::Database(const std::string& path, bool create, int busyTimeoutMs) : path_(path) {
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw EDBEngineError(message, rc & 0xff);
  }
  sqlite3_extended_result_codes(db_, 0);
  sqlite3_busy_timeout(db_, busyTimeoutMs);
  // Database files come from shared folders: their schema is not trusted to
  // run functions with side effects, and the file cannot be corrupted
  // through SQL.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

Database::~Database() {
  statements_.clear();
  sqlite3_close(db_);
}

void Database::Exec(std::string_view sql) {
  char* error = nullptr;
  const std::string text(sql);
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    const std::string message = error ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    throw EDBEngineError(message, rc & 0xff);
  }
}

Statement& Database::Prepare(const std::string& sql) {
  auto it = statements_.find(sql);
  if (it == statements_.end())
    it = statements_.emplace(sql, std::make_unique<Statement>(db_, sql)).first;
  it->second->Reset();
  return *it->second;
}

bool Database::TableExists(std::string_view table) {
  Statement& st =
      Prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE");
  st.Bind(1, table);
  const bool found = st.Step();
  st.Reset();
  return found;
}

Transaction::Transaction(Database& db, int busyRetries) : db_(db) {
  for (int attempt = 0;; ++attempt) {
    try {
      db_.Exec("BEGIN IMMEDIATE");
      return;
    } catch (const EDBEngineError& error) {
      if (error.Code() != SQLITE_BUSY || attempt >= busyRetries) throw;
    }
  }
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    db_.Exec("ROLLBACK");
  } catch (const EDBEngineError&) {
    // The engine rolls back by itself when the failure ended the transaction.
  }
}

void Transaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}

std::string QuoteName(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace nimbra::keys
