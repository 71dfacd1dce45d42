#include "keys/table_pool.h"

#include <pthread.h>
#include <sqlite3.h>
#include <unistd.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <set>

#include "platform/files/file_stamp.h"

namespace nimbra::keys {

namespace {

struct Connection {
  std::unique_ptr<Database> db;
  platform::FileStamp file;                   // the file the connection was opened on
  std::set<std::string, std::less<>> tables;  // tables known to exist
};

struct Pool {
  pid_t pid = getpid();
  std::map<std::string, Connection> connections;  // by file identity
  int injectedFailures = 0;
  std::string injectedMessage;

  ~Pool() {
    // Connections inherited from a parent process are left alone: closing
    // them here would disturb the parent's locks on the same files.
    if (pid != getpid())
      for (auto& [name, connection] : connections) (void)connection.db.release();
  }
};

// The process id, kept current across fork without a system call per use.
pid_t CurrentPid() {
  static pid_t pid = [] {
    pthread_atfork(nullptr, nullptr, [] { pid = getpid(); });
    return getpid();
  }();
  return pid;
}

Pool& ThreadPool() {
  thread_local Pool pool;
  if (pool.pid != CurrentPid()) {
    for (auto& [name, connection] : pool.connections) (void)connection.db.release();
    pool.connections.clear();
    pool.pid = CurrentPid();
  }
  return pool;
}

// One open attempt; EDBEngineError on failure.
Database& OpenOnce(Pool& pool, const DbFile& file, std::initializer_list<std::string_view> tables) {
  if (pool.injectedFailures > 0) {
    --pool.injectedFailures;
    throw EDBEngineError(pool.injectedMessage);
  }
  const platform::FileStamp now = platform::FileStamp::Of(file.path.c_str());
  if (!now.exists) throw EDBEngineError("unable to open database file", SQLITE_CANTOPEN);
  const std::string& identity = file.Identity();
  auto it = pool.connections.find(identity);
  if (it != pool.connections.end() && !it->second.file.SameFile(now)) {
    pool.connections.erase(it);
    it = pool.connections.end();
  }
  if (it == pool.connections.end()) {
    Connection connection;
    connection.db = std::make_unique<Database>(file.path, false, kLockWaitMs);
    connection.file = now;
    it = pool.connections.emplace(identity, std::move(connection)).first;
  }
  Connection& connection = it->second;
  for (std::string_view table : tables) {
    if (connection.tables.contains(table)) continue;
    if (!connection.db->TableExists(table))
      throw EDBEngineError("no such table: " + std::string(table), SQLITE_ERROR);
    connection.tables.emplace(table);
  }
  return *connection.db;
}

Database& SafeOpen(const DbFile& file, std::initializer_list<std::string_view> tables) {
  Pool& pool = ThreadPool();
  std::string message;
  for (int attempt = 0; attempt <= kOpenRetries; ++attempt) {
    try {
      Database& db = OpenOnce(pool, file, tables);
      if (attempt > 0) LogDbError(file, "SafeOpen Recovered ");
      return db;
    } catch (const EDBEngineError& error) {
      message = error.what();
      pool.connections.erase(file.Identity());
    }
  }
  LogDbError(file, "SafeOpen Unable to Recover " + message);
  throw EDBEngineError("Unrecoverable Database error after " + std::to_string(kOpenRetries) +
                       " attempts: " + message);
}

}  // namespace

Database& SafeOpenTable(const DbFile& file, std::string_view table) {
  return SafeOpen(file, {table});
}

Database& SafeOpenTable(const DbFile& file, std::string_view table, std::string_view otherTable) {
  return SafeOpen(file, {table, otherTable});
}

void CloseTables(const DbFile& file) {
  ThreadPool().connections.erase(file.Identity());
}

void CloseAllTables() {
  ThreadPool().connections.clear();
}

void InjectOpenFailures(int count, const std::string& message) {
  Pool& pool = ThreadPool();
  pool.injectedFailures = count;
  pool.injectedMessage = message;
}

}  // namespace nimbra::keys
