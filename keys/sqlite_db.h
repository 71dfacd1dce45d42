#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "keys/keys_error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace nimbra::keys {

// A prepared SQLite statement. Bind indexes start at 1, column indexes at 0.
// Every failure raises EDBEngineError with SQLite's message.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, double value);
  Statement& BindBlob(int index, std::span<const std::uint8_t> bytes);
  Statement& BindNull(int index);

  // Steps once; true while a row is available.
  bool Step();
  // Steps to completion, for statements that return no rows.
  void Run();
  // Clears bindings and rewinds, ready for the next use.
  void Reset();

  bool IsNull(int column) const;
  std::string Text(int column) const;
  // The column's text without a copy; valid until the next Step or Reset.
  std::string_view View(int column) const;
  std::int64_t Int(int column) const;
  double Real(int column) const;
  std::span<const std::uint8_t> Blob(int column) const;

 private:
  [[noreturn]] void Fail() const;
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// One SQLite connection with a cache of its prepared statements.
class Database {
 public:
  // Opens an existing file (create false) or creates it (create true). The
  // record-lock wait is the busy timeout in milliseconds.
  Database(const std::string& path, bool create, int busyTimeoutMs);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void Exec(std::string_view sql);
  // A prepared statement kept for the life of the connection; it is reset
  // before it is handed out.
  Statement& Prepare(const std::string& sql);
  bool TableExists(std::string_view table);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
  std::map<std::string, std::unique_ptr<Statement>, std::less<>> statements_;
};

// Runs a write transaction: BEGIN IMMEDIATE, COMMIT on Commit(), ROLLBACK
// when destroyed uncommitted. While another connection holds the write lock
// longer than the busy timeout, the begin is tried again, up to busyRetries
// more times.
class Transaction {
 public:
  Transaction(Database& db, int busyRetries);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Database& db_;
  bool open_ = true;
};

// Quotes an identifier for SQL ("MYKEYS.DAT" needs quoting for its dot).
std::string QuoteName(std::string_view name);

}  // namespace nimbra::keys
