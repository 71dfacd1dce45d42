// Key databases on shared folders: what other computers and read-only
// shares need of the files, and what a process keeps open.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "keys/keys_db.h"
#include "keys/sqlite_db.h"
#include "keys/tests/open_handles.h"
#include "keys/tests/sample_key.h"
#include "keys/tests/temp_dir.h"

namespace nimbra::keys {
namespace {

using test::MakeKey;
using test::OpenHandles;

const std::vector<std::uint8_t> kRandom(100, 5);
const std::string kPass = "1111111111222222222233333333334444444444";

std::string JournalMode(const std::string& file) {
  Database raw(file, false, 100);
  Statement& mode = raw.Prepare("PRAGMA journal_mode");
  EXPECT_TRUE(mode.Step());
  std::string text = mode.Text(0);
  mode.Reset();
  return text;
}

// Runs `work` in a child process that cannot write to the folder: as an
// ordinary user the folder's mode suffices, as the superuser the child
// drops to an unprivileged user first. Returns the child's exit status.
int AsReader(const std::filesystem::path& folder, const std::function<int()>& work) {
  chmod(folder.c_str(), 0555);
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
    // Nothing this process saw of the files before may answer for them.
    ClearAllCaches();
    CloseAllTables();
    _exit(work());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  chmod(folder.c_str(), 0700);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(SharedFiles, ConnectionsLastNoLongerThanTheOpenDatabase) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.Path() / "shared");
  const std::string mine = dir / "RECIPS.DAT";
  const std::string shared = dir / "shared/Recips.DAT";
  {
    TKeysDB db;
    ASSERT_TRUE(db.Open(mine, shared, kRandom, kPass, kPass));
    KeyRecord key = MakeKey("C1", "c@x.com");
    ASSERT_TRUE(db.WriteKey(key));
    key.source = 1;
    ASSERT_TRUE(db.WriteKey(key));
    KeyRecord read;
    ClearAllCaches();
    ASSERT_TRUE(db.ReadKey("C1", read));
    EXPECT_EQ(db.FindKeyId("c@x.com", "VRX", false), "C1");
    // Between operations: the local file may stay open, the shared one not.
    EXPECT_EQ(OpenHandles(shared), 0);
    EXPECT_TRUE(db.Close());
    EXPECT_EQ(OpenHandles(mine), 0);

    // Told that the first file is on a network drive too, nothing stays open.
    ASSERT_TRUE(db.Open(mine, shared, kRandom, kPass, kPass, true));
    ClearAllCaches();
    ASSERT_TRUE(db.ReadKey("C1", read));
    EXPECT_EQ(OpenHandles(mine), 0);
    ASSERT_TRUE(db.ReadKey("C1", read));
    // An open database that is destroyed closes as Close does.
    ClearAllCaches();
    ASSERT_TRUE(db.Close());
    ASSERT_TRUE(db.Open(mine, "", kRandom, "", kPass));
    ASSERT_TRUE(db.ReadKey("C1", read));
    EXPECT_GT(OpenHandles(mine), 0);
  }
  EXPECT_EQ(OpenHandles(mine), 0);
  EXPECT_EQ(OpenHandles(shared), 0);
}

TEST(SharedFiles, EveryDatabaseKeepsARollbackJournal) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.Path() / "shared");
  TKeysDB db;
  ASSERT_TRUE(db.Open(dir / "MYKEYS.DAT", dir / "shared/MYKeys.DAT", kRandom, kPass, kPass));
  KeyRecord key = MakeKey("K1", "k@x.com");
  ASSERT_TRUE(db.WriteKey(key));
  key.source = 1;
  ASSERT_TRUE(db.WriteKey(key));
  ASSERT_TRUE(db.Close());
  EXPECT_EQ(JournalMode(dir / "MYKEYS.DAT"), "delete");
  EXPECT_EQ(JournalMode(dir / "shared/MYKeys.DAT"), "delete");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path()))
    EXPECT_FALSE(entry.path().string().ends_with("-wal")) << entry.path();
}

TEST(SharedFiles, DatabaseOnAReadOnlyFolderCanStillBeRead) {
  test::TempDir dir;
  const std::string file = dir / "RECIPS.DAT";
  {
    TKeysDB db;
    ASSERT_TRUE(db.Open(file, "", kRandom, "", kPass));
    KeyRecord key = MakeKey("R1", "reader@x.com");
    std::vector<std::uint8_t> block(64, 'Q');
    db.SetBlocks(key, nullptr, 0, block.data(), std::int32_t(block.size()));
    ASSERT_TRUE(db.WriteKey(key));
  }
  CloseAllTables();
  const int status = AsReader(dir.Path(), [&] {
    TKeysDB db;
    if (!db.Open(file, "", kRandom, "", kPass)) return 1;
    if (db.FindKeyId("reader@x.com", "VRX", false) != "R1") return 2;
    KeyRecord read;
    if (!db.ReadKey("R1", read)) return 3;
    if (db.PublicBlockText(read) != std::string(64, 'Q')) return 4;
    return 0;
  });
  EXPECT_EQ(status, 0);
}

TEST(SharedFiles, BothSetsInOneFolderAreOneFileWithOneCacheAndStamp) {
  test::TempDir dir;
  for (bool existing : {false, true}) {
    std::filesystem::remove_all(dir.Path() / "set");
    std::filesystem::create_directory(dir.Path() / "set");
    if (existing) {
      TKeysDB shared;  // the shared set's spelling exists already
      ASSERT_TRUE(shared.Open(dir / "set/MYKeys.DAT", "", kRandom, "", kPass));
    }
    TKeysDB db;
    ASSERT_TRUE(db.Open(dir / "set/MYKEYS.DAT", dir / "set/MYKeys.DAT", kRandom, kPass, kPass));
    KeyRecord first = MakeKey("F", "f@x.com");
    ASSERT_TRUE(db.WriteKey(first));
    KeyRecord second = MakeKey("S", "s@x.com");
    second.source = 1;
    ASSERT_TRUE(db.WriteKey(second));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "set"))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    const std::string spelling = existing ? "MYKeys.DAT" : "MYKEYS.DAT";
    EXPECT_EQ(names, (std::vector<std::string>{spelling, spelling + ".ini"})) << existing;
    KeyRecord read;
    EXPECT_TRUE(db.ReadKey("S", read));
    EXPECT_EQ(read.source, 0);  // found in the first file: it is the second
    EXPECT_EQ(db.FindKeyId("f@x.com", "VRX", false), "F");
  }
}

TEST(SharedFiles, StampFileInAnotherLetterCaseIsTheDatabasesStamp) {
  test::TempDir dir;
  dir.Write("MYKEYS.DAT.INI", "[Cache]\r\nOwner=another process\r\n");
  EXPECT_EQ(DbFile::Make(dir / "MYKEYS.DAT").StampPath(), dir / "MYKEYS.DAT.INI");
  const std::string before = dir.Read("MYKEYS.DAT.INI");
  TKeysDB db;
  ASSERT_TRUE(db.Open(dir / "MYKEYS.DAT", "", kRandom, "", kPass));
  KeyRecord key = MakeKey("K", "k@x.com");
  ASSERT_TRUE(db.WriteKey(key));
  EXPECT_FALSE(std::filesystem::exists(dir / "MYKEYS.DAT.ini"));
  EXPECT_NE(dir.Read("MYKEYS.DAT.INI"), before);  // the write stamped this file
}

TEST(SharedFiles, MissingOrDamagedAddressTableCostsOnlyTheAddresses) {
  for (const char* damage :
       {"DROP TABLE \"URLRECIPS.DAT\"",
        "DROP TABLE \"URLRECIPS.DAT\"; CREATE TABLE \"URLRECIPS.DAT\" (URL)"}) {
    test::TempDir dir;
    const std::string file = dir / "RECIPS.DAT";
    TKeysDB db;
    ASSERT_TRUE(db.Open(file, "", kRandom, "", kPass));
    KeyRecord key = MakeKey("A1", "a@x.com");
    ASSERT_TRUE(db.WriteKey(key));
    ASSERT_TRUE(db.Close());
    Database(file, false, 100).Exec(damage);
    ClearAllCaches();

    ASSERT_TRUE(db.Open(file, "", kRandom, "", kPass));
    KeyRecord read;
    ASSERT_TRUE(db.ReadKey("A1", read)) << damage;
    EXPECT_EQ(read.entityName, "Owner A1");
    EXPECT_EQ(read.aliases, "");
    EXPECT_EQ(db.FindKeyId("a@x.com", "VRX", false), "");
    const std::string log = dir.Read("DBERROR.LOG");
    EXPECT_NE(log.find(":GETKEYURLLIST-"), std::string::npos) << log;
    EXPECT_NE(log.find(":ReadURL -"), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace nimbra::keys
