#pragma once

#include <string>
#include <string_view>

#include "keys/db_file.h"
#include "keys/sqlite_db.h"

namespace nimbra::keys {

// The record-lock wait: how long an operation waits for another process's
// lock before the table engine reports the database busy.
inline constexpr int kLockWaitMs = 100;
// Failed opens retried before an operation gives up.
inline constexpr int kOpenRetries = 10;

// Safe open of a table: the connection to the table's database file with the
// table known to exist in it. Connections are kept open per thread and
// reused by later operations on the same file (opening SQLite per operation
// would cost more than the operation); a connection is dropped and opened
// again when the file was replaced, and after every failure. When the
// engine fails, the open is retried up to kOpenRetries times: a success after
// a retry logs "SafeOpen Recovered ", the last failure logs "SafeOpen Unable
// to Recover " + the engine's message and raises EDBEngineError
// "Unrecoverable Database error after 10 attempts: " + that message.
Database& SafeOpenTable(const DbFile& file, std::string_view table);
// The same for two tables of one file at once (an operation that reads the
// key table and the address table): one check of the file, one retry loop.
Database& SafeOpenTable(const DbFile& file, std::string_view table, std::string_view otherTable);

// Drops this thread's connection to a file (the next open starts afresh).
void CloseTables(const DbFile& file);
// Drops every connection of this thread.
void CloseAllTables();

// Makes the next `count` open attempts of this thread fail with an engine
// error carrying `message`, as a damaged file or a failing share would; for
// tests of the retry and recovery paths.
void InjectOpenFailures(int count, const std::string& message);

}  // namespace nimbra::keys
