// Several processes sharing one key database, run as real child processes:
// the test binary starts itself with NIMBRA_KEYS_CHILD naming the child's
// work, and only the KeysChild.Run entry acts on it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "keys/keys_db.h"
#include "keys/sqlite_db.h"
#include "keys/tests/temp_dir.h"

extern char** environ;

namespace nimbra::keys {
namespace {

const std::vector<std::uint8_t> kRandom(100, 3);
const std::string kPass = "0123456789012345678901234567890123456789";

KeyRecord Key(const std::string& keyId, const std::string& aliases) {
  KeyRecord record;
  record.keyId = keyId;
  record.entityName = "Owner " + keyId;
  record.containerType = "VRX";
  record.aliases = aliases;
  record.expires = DateTime::Date(2099, 1, 1);
  return record;
}

// Writes keys <prefix>0 .. <prefix>(count-1), each with two addresses and a
// protected public block; count 0 writes until killed.
int RunWriter(const std::string& file, const std::string& prefix, int count) {
  TKeysDB db;
  if (!db.Open(file, "", kRandom, "", kPass)) return 2;
  std::vector<std::uint8_t> block(200, 'Z');
  for (int i = 0; count == 0 || i < count; ++i) {
    const std::string id = prefix + std::to_string(i);
    KeyRecord key = Key(id, id + "@one.example," + id + "@two.example");
    db.SetBlocks(key, nullptr, 0, block.data(), std::int32_t(block.size()));
    if (!db.WriteKey(key)) return 3;
  }
  return 0;
}

// Writes one key with the given addresses (links an address to it).
int RunLink(const std::string& file, const std::string& keyId, const std::string& aliases) {
  TKeysDB db;
  if (!db.Open(file, "", kRandom, "", kPass)) return 2;
  KeyRecord key = Key(keyId, aliases);
  return db.WriteKey(key) ? 0 : 3;
}

// 0 when the address leads to the key.
int RunFind(const std::string& file, const std::string& address, const std::string& keyId) {
  TKeysDB db;
  if (!db.Open(file, "", kRandom, "", kPass)) return 2;
  return db.FindKeyId(address, "VRX", false) == keyId ? 0 : 4;
}

TEST(KeysChild, Run) {
  const char* work = std::getenv("NIMBRA_KEYS_CHILD");
  if (!work) GTEST_SKIP() << "runs only as a child process of the multi-process tests";
  std::istringstream in(work);
  std::vector<std::string> part(4);
  for (std::string& p : part) std::getline(in, p, '|');
  const std::string& role = part[0];
  if (role == "writer") std::exit(RunWriter(part[1], part[2], std::atoi(part[3].c_str())));
  if (role == "link") std::exit(RunLink(part[1], part[2], part[3]));
  if (role == "find") std::exit(RunFind(part[1], part[2], part[3]));
  std::exit(9);
}

pid_t StartChild(const std::string& work) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.push_back("NIMBRA_KEYS_CHILD=" + work);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string self = "/proc/self/exe";
  std::string filter = "--gtest_filter=KeysChild.Run";
  char* argv[] = {self.data(), filter.data(), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  return pid;
}

int WaitChild(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::int64_t Count(Database& db, const std::string& sql) {
  Statement& st = db.Prepare(sql);
  st.Step();
  const std::int64_t n = st.Int(0);
  st.Reset();
  return n;
}

TEST(MultiProcess, ConcurrentWritersLoseNothing) {
  test::TempDir dir;
  const std::string file = dir / "RECIPS.DAT";
  {
    TKeysDB db;  // created here so that the children share one file
    ASSERT_TRUE(db.Open(file, "", kRandom, "", kPass));
  }
  constexpr int kWriters = 3;
  constexpr int kKeys = 60;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w)
    children.push_back(
        StartChild("writer|" + file + "|W" + std::to_string(w) + "-|" + std::to_string(kKeys)));
  for (pid_t pid : children) EXPECT_EQ(WaitChild(pid), 0);

  Database raw(file, false, 100);
  EXPECT_EQ(Count(raw, "SELECT count(*) FROM \"RECIPS.DAT\""), kWriters * kKeys);
  EXPECT_EQ(Count(raw, "SELECT count(*) FROM \"URLRECIPS.DAT\""), 2 * kWriters * kKeys);
  TKeysDB db;
  ASSERT_TRUE(db.Open(file, "", kRandom, "", kPass));
  for (int w = 0; w < kWriters; ++w) {
    const std::string id = "W" + std::to_string(w) + "-" + std::to_string(kKeys - 1);
    EXPECT_EQ(db.FindKeyId(id + "@two.example", "VRX", false), id);
    KeyRecord read;
    ASSERT_TRUE(db.ReadKey(id, read));
    EXPECT_EQ(db.PublicBlockText(read), std::string(200, 'Z'));
  }
}

TEST(MultiProcess, StaleCacheSeesAnotherProcesssWriteAfterTheStampChanges) {
  test::TempDir dir;
  const std::string file = dir / "RECIPS.DAT";
  TKeysDB db;
  ASSERT_TRUE(db.Open(file, "", kRandom, "", kPass));
  KeyRecord mine = Key("MINE", "me@x.example");
  ASSERT_TRUE(db.WriteKey(mine));
  // Cached: a positive and a negative look-up and the record.
  EXPECT_EQ(db.FindKeyId("C0@one.example", "VRX", false), "");
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("MINE", read));

  EXPECT_EQ(WaitChild(StartChild("writer|" + file + "|C|1")), 0);
  EXPECT_EQ(db.FindKeyId("C0@one.example", "VRX", false), "C0");
  ASSERT_TRUE(db.ReadKey("C0", read));
  EXPECT_EQ(read.aliases, "C0@two.example,C0@one.example");
}

TEST(MultiProcess, AddressMovedToAnotherKeyStaysMoved) {
  test::TempDir dir;
  const std::string file = dir / "RECIPS.DAT";
  TKeysDB db;
  ASSERT_TRUE(db.Open(file, "", kRandom, "", kPass));
  KeyRecord a = Key("A", "x@one.example,y@one.example");
  ASSERT_TRUE(db.WriteKey(a));
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("A", read));  // A with both addresses is cached now

  // Another process links x to B: A reads without it, and written back as
  // read it does not take x back.
  EXPECT_EQ(WaitChild(StartChild("link|" + file + "|B|x@one.example")), 0);
  ASSERT_TRUE(db.ReadKey("A", read));
  EXPECT_EQ(read.aliases, "y@one.example");
  ASSERT_TRUE(db.WriteKey(read));
  EXPECT_EQ(db.FindKeyId("x@one.example", "VRX", false), "B");

  // This process links y to C: A's cached record and list lose y at once.
  KeyRecord c = Key("C", "y@one.example");
  ASSERT_TRUE(db.WriteKey(c));
  ASSERT_TRUE(db.ReadKey("A", read));
  EXPECT_EQ(read.aliases, "");
  ASSERT_TRUE(db.WriteKey(read));
  EXPECT_EQ(db.FindKeyId("y@one.example", "VRX", false), "C");

  // And another process finds both where they were moved.
  EXPECT_EQ(WaitChild(StartChild("find|" + file + "|x@one.example|B")), 0);
  EXPECT_EQ(WaitChild(StartChild("find|" + file + "|y@one.example|C")), 0);
}

TEST(MultiProcess, KilledWriterLeavesEveryKeyWholeOrAbsent) {
  test::TempDir dir;
  const std::string file = dir / "RECIPS.DAT";
  {
    TKeysDB db;
    ASSERT_TRUE(db.Open(file, "", kRandom, "", kPass));
  }
  for (int round = 0; round < 3; ++round) {
    const pid_t pid = StartChild("writer|" + file + "|K" + std::to_string(round) + "-|0");
    std::this_thread::sleep_for(std::chrono::milliseconds(150 + 70 * round));
    kill(pid, SIGKILL);
    EXPECT_EQ(WaitChild(pid), -SIGKILL);
  }
  Database raw(file, false, 100);
  Statement& check = raw.Prepare("PRAGMA integrity_check");
  ASSERT_TRUE(check.Step());
  EXPECT_EQ(check.Text(0), "ok");
  check.Reset();
  EXPECT_GT(Count(raw, "SELECT count(*) FROM \"RECIPS.DAT\""), 0);
  // Every key has both its address rows, and no row points at a missing key.
  EXPECT_EQ(Count(raw,
                  "SELECT count(*) FROM \"RECIPS.DAT\" k WHERE (SELECT count(*) FROM "
                  "\"URLRECIPS.DAT\" u WHERE u.KEY_ID = k.KEY_ID) <> 2"),
            0);
  EXPECT_EQ(Count(raw,
                  "SELECT count(*) FROM \"URLRECIPS.DAT\" u WHERE NOT EXISTS (SELECT 1 "
                  "FROM \"RECIPS.DAT\" k WHERE k.KEY_ID = u.KEY_ID)"),
            0);
  EXPECT_EQ(Count(raw,
                  "SELECT count(*) FROM \"RECIPS.DAT\" WHERE BLOCK1_LEN <> 220 OR "
                  "length(BLOCK1) <> 220"),
            0);
}

}  // namespace
}  // namespace nimbra::keys
