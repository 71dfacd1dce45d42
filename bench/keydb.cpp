// Key database throughput beside a bare SQLite table of the same shape, in
// one process; each pair does the same work on both sides, and each
// benchmark's label says what it does:
//   write            one key with two addresses and both blocks per
//                    transaction (the key database protects the blocks first)
//   look-up          address -> KEY_ID -> key row from the file, on an open
//                    database (the key database's caches emptied first)
//   find             address -> KEY_ID alone, from the file (the key database
//                    also brings the key into its record cache, for the read
//                    that usually follows)
//   open-look-up-close  a database opened, one look-up from the file, closed
//                    (the key database's caches emptied first: they outlive
//                    Close, and a hit would open nothing)
//   cached look-up   the key database's per-process cache hit: no SQL at all,
//                    the figure of the cache; compare it with the key
//                    database's own look-up from the file, not with SQLite
// Run: build-*/bench_keydb  (each benchmark reports items_per_second = keys/s)
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "keys/key_cache.h"
#include "keys/keys_db.h"
#include "keys/table_pool.h"
#include "testsupport/temp_folder.h"

namespace {

using namespace nimbra::keys;

constexpr int kKeys = 10000;
const std::string kPass = "0123456789ABCDEF0123456789ABCDEF01234567";
const std::vector<std::uint8_t> kRandom(100, 5);

// Removed when the program ends.
const std::filesystem::path& Dir() {
  static const nimbra::testsupport::TempFolder dir("bench-keydb");
  return dir.Path();
}

std::string Id(int i) {
  return "K" + std::to_string(100000 + i);
}
std::string Address(int i, int n) {
  return Id(i) + (n == 0 ? "@one.example" : "@two.example");
}

// ---- bare SQLite ----

sqlite3* OpenBare(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  sqlite3_busy_timeout(db, 100);
  // The key databases' journal: the rollback journal, fully synchronous.
  sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  return db;
}

std::string BarePath() {
  return (Dir() / "BARE.DAT").string();
}

void BM_BareWrite(benchmark::State& state) {
  std::filesystem::remove(BarePath());
  sqlite3* db = OpenBare(BarePath());
  sqlite3_exec(db,
               "CREATE TABLE keys (KEY_ID VARCHAR(20) NOT NULL PRIMARY KEY, ENTITY_NAME "
               "VARCHAR(60), KEY_CONTAINER_TYPE VARCHAR(7), EXPIRES TIMESTAMP, VERSION "
               "VARCHAR(40), SUB_CNTL_ENCRYPT BOOLEAN, BLOCK1 BLOB, BLOCK1_LEN INTEGER, BLOCK2 "
               "BLOB, BLOCK2_LEN INTEGER);"
               "CREATE TABLE urls (URL VARCHAR(100) NOT NULL COLLATE NOCASE, KEY_TYPE VARCHAR(7) "
               "NOT NULL COLLATE NOCASE, KEY_ID VARCHAR(20) NOT NULL, PRIMARY KEY (URL, KEY_TYPE));"
               "CREATE INDEX Aliases ON urls (KEY_ID)",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* key = nullptr;
  sqlite3_stmt* url = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO keys VALUES (?1, 'Owner', 'VRX', '2099-01-01 00:00:00.000', "
                     "'VRX Strong', 1, ?2, 200, ?2, 200)",
                     -1, &key, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO urls VALUES (?1, 'VRX', ?2)", -1, &url, nullptr);
  const std::vector<std::uint8_t> block(200, 0x33);
  int i = 0;
  for (auto _ : state) {
    const std::string id = Id(i);
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_bind_text(key, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(key, 2, block.data(), int(block.size()), SQLITE_STATIC);
    sqlite3_step(key);
    sqlite3_reset(key);
    for (int n = 0; n < 2; ++n) {
      const std::string address = Address(i, n);
      sqlite3_bind_text(url, 1, address.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(url, 2, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(url);
      sqlite3_reset(url);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    ++i;
  }
  sqlite3_finalize(key);
  sqlite3_finalize(url);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("SQLite: key row and 2 address rows, one transaction");
}

bool BareLookup(sqlite3* db, sqlite3_stmt* url, sqlite3_stmt* key, const std::string& address) {
  sqlite3_bind_text(url, 1, address.c_str(), -1, SQLITE_TRANSIENT);
  bool found = false;
  if (sqlite3_step(url) == SQLITE_ROW) {
    sqlite3_bind_text(key, 1, reinterpret_cast<const char*>(sqlite3_column_text(url, 0)), -1,
                      SQLITE_TRANSIENT);
    found = sqlite3_step(key) == SQLITE_ROW && sqlite3_column_bytes(key, 6) > 0;
    sqlite3_reset(key);
  }
  sqlite3_reset(url);
  (void)db;
  return found;
}

constexpr const char* kBareUrlSql = "SELECT KEY_ID FROM urls WHERE URL = ?1 AND KEY_TYPE = 'VRX'";
constexpr const char* kBareKeySql = "SELECT * FROM keys WHERE KEY_ID = ?1";

void BM_BareLookup(benchmark::State& state) {
  sqlite3* db = OpenBare(BarePath());
  sqlite3_stmt* url = nullptr;
  sqlite3_stmt* key = nullptr;
  sqlite3_prepare_v2(db, kBareUrlSql, -1, &url, nullptr);
  sqlite3_prepare_v2(db, kBareKeySql, -1, &key, nullptr);
  int i = 0;
  for (auto _ : state) {
    if (!BareLookup(db, url, key, Address((i * 7919) % kKeys, i & 1))) state.SkipWithError("lost");
    ++i;
  }
  sqlite3_finalize(url);
  sqlite3_finalize(key);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("SQLite: address and key row queried, database open");
}

// Address -> KEY_ID only, without reading the key.
void BM_BareFind(benchmark::State& state) {
  sqlite3* db = OpenBare(BarePath());
  sqlite3_stmt* url = nullptr;
  sqlite3_prepare_v2(db, kBareUrlSql, -1, &url, nullptr);
  int i = 0;
  for (auto _ : state) {
    const std::string address = Address((i * 7919) % kKeys, i & 1);
    sqlite3_bind_text(url, 1, address.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(url) != SQLITE_ROW) state.SkipWithError("lost");
    sqlite3_reset(url);
    ++i;
  }
  sqlite3_finalize(url);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("SQLite: address queried, database open");
}

void BM_BareOpenLookupClose(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    sqlite3* db = OpenBare(BarePath());
    sqlite3_stmt* url = nullptr;
    sqlite3_stmt* key = nullptr;
    sqlite3_prepare_v2(db, kBareUrlSql, -1, &url, nullptr);
    sqlite3_prepare_v2(db, kBareKeySql, -1, &key, nullptr);
    if (!BareLookup(db, url, key, Address((i * 7919) % kKeys, i & 1))) state.SkipWithError("lost");
    sqlite3_finalize(url);
    sqlite3_finalize(key);
    sqlite3_close(db);
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("SQLite: open, prepare, address and key row queried, close");
}

// ---- the key database ----

std::string KeysPath() {
  return (Dir() / "RECIPS.DAT").string();
}

void BM_KeysDbWrite(benchmark::State& state) {
  std::filesystem::remove(KeysPath());
  CloseAllTables();
  ClearAllCaches();
  TKeysDB db;
  db.Open(KeysPath(), "", kRandom, "", kPass);
  const std::vector<std::uint8_t> block(180, 0x33);
  int i = 0;
  for (auto _ : state) {
    KeyRecord record;
    record.keyId = Id(i);
    record.entityName = "Owner";
    record.containerType = "VRX";
    record.version = "VRX Strong -1";
    record.encrypt = true;
    record.expires = nimbra::DateTime::Date(2099, 1, 1);
    record.aliases = Address(i, 0) + "," + Address(i, 1);
    db.SetBlocks(record, block.data(), 180, block.data(), 180);
    if (!db.WriteKey(record)) state.SkipWithError("write failed");
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("key database: blocks protected, key row and 2 links, one transaction");
}

bool KeysLookup(TKeysDB& db, int i) {
  const std::string id = db.FindKeyId(Address((i * 7919) % kKeys, i & 1), "VRX", true);
  KeyRecord record;
  return !id.empty() && db.ReadKey(id, record) && record.block1.Length() == 200;
}

void BM_KeysDbLookupCold(benchmark::State& state) {
  TKeysDB db;
  db.Open(KeysPath(), "", kRandom, "", kPass);
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearAllCaches();
    state.ResumeTiming();
    if (!KeysLookup(db, i++)) state.SkipWithError("lost");
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("key database: caches emptied, address and key row read, database open");
}

void BM_KeysDbFindCold(benchmark::State& state) {
  TKeysDB db;
  db.Open(KeysPath(), "", kRandom, "", kPass);
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearAllCaches();
    state.ResumeTiming();
    if (db.FindKeyId(Address((i * 7919) % kKeys, i & 1), "VRX", true).empty())
      state.SkipWithError("lost");
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("key database: caches emptied, address read, database open");
}

void BM_KeysDbLookupCached(benchmark::State& state) {
  TKeysDB db;
  db.Open(KeysPath(), "", kRandom, "", kPass);
  for (int i = 0; i < kKeys; ++i) KeysLookup(db, i);
  int i = 0;
  for (auto _ : state)
    if (!KeysLookup(db, i++)) state.SkipWithError("lost");
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("key database: per-process cache hit, no SQL (the cache's figure)");
}

void BM_KeysDbOpenLookupClose(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearAllCaches();
    state.ResumeTiming();
    TKeysDB db;
    db.Open(KeysPath(), "", kRandom, "", kPass);
    if (!KeysLookup(db, i++)) state.SkipWithError("lost");
    db.Close();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("key database: caches emptied, open, address and key row read, close");
}

BENCHMARK(BM_BareWrite)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeysDbWrite)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareLookup)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeysDbLookupCold)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareFind)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeysDbFindCold)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareOpenLookupClose)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeysDbOpenLookupClose)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeysDbLookupCached)->Iterations(kKeys)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CloseAllTables();
  return 0;
}
