#include "keys/key_tables.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "keys/clock.h"
#include "keys/keys_db.h"
#include "keys/owner_stamp.h"
#include "keys/sqlite_db.h"
#include "keys/table_pool.h"
#include "keys/tests/sample_key.h"
#include "keys/tests/temp_dir.h"

namespace nimbra::keys {
namespace {

using test::MakeKey;

const std::vector<std::uint8_t> kRandom(100, 9);
const std::string kPass = "5555555555666666666677777777778888888888";

class KeyTablesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db.Open(dir / "RECIPS.DAT", "", kRandom, "", kPass)); }
  std::string Log() const { return dir.Read("DBERROR.LOG"); }
  // Runs SQL on the file through a connection of its own.
  void Raw(const std::string& sql) {
    Database raw(dir / "RECIPS.DAT", false, 100);
    raw.Exec(sql);
  }

  test::TempDir dir;
  TKeysDB db;
};

TEST_F(KeyTablesTest, StoredDatesReadAsTheGeneralParserReadsThem) {
  KeyRecord key = MakeKey("D1", "d@x.com");
  ASSERT_TRUE(db.WriteKey(key));
  const DateTime zero = DateTime::Date(1899, 12, 30);
  // The form this layer writes, and forms other writers may have left.
  const char* texts[] = {"2031-02-03 04:05:06.789", "2031-02-03 04:05:06",
                         "2031-02-03 04:05:06.7x9", "2031-02-30 04:05:06.789",
                         "2031-02-03 24:05:06.000", " 031-02-03 04:05:06.789",
                         "+031-02-03 04:05:06.789", "2031/02/03 04:05:06.789",
                         "2031-02-03T04:05:06.789", ""};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    Raw(std::string("UPDATE \"RECIPS.DAT\" SET EXPIRES = '") + text + "', UPDATE_STAMP = '" + text +
        "'");
    ClearAllCaches();
    KeyRecord read;
    ASSERT_TRUE(db.ReadKey("D1", read));
    const DateTime expected = ParseStoredTime(text).value_or(zero);
    EXPECT_EQ(read.expires, expected);
    EXPECT_EQ(read.updateStamp, expected);
  }
  EXPECT_EQ(ParseStoredTime("2031-02-03 04:05:06.789").value_or(zero).millisecond, 789);
}

TEST_F(KeyTablesTest, LongAddressListsAreCutOnlyInTheRecord) {
  // 300 addresses of 40 characters: longer than the record's 8192.
  std::string aliases;
  for (int i = 0; i < 300; ++i) {
    if (i > 0) aliases += ',';
    const std::string number = std::to_string(1000 + i);
    aliases += "user" + number + std::string(24, 'x') + "@long.example";
  }
  KeyRecord key = MakeKey("LONG", aliases);
  ASSERT_TRUE(db.WriteKey(key));
  // Read back from the table the newest address comes first.
  std::string newestFirst;
  for (int i = 299; i >= 0; --i) {
    if (!newestFirst.empty()) newestFirst += ',';
    newestFirst += "user" + std::to_string(1000 + i) + std::string(24, 'x') + "@long.example";
  }
  ClearAllCaches();
  KeyRecord cold;
  ASSERT_TRUE(db.ReadKey("LONG", cold));
  EXPECT_EQ(cold.aliases, newestFirst.substr(0, 8192));
  KeyRecord warm;
  ASSERT_TRUE(db.ReadKey("LONG", warm));
  EXPECT_EQ(warm.aliases, cold.aliases);
  // Every address, also those beyond the cut, still leads to the key.
  ClearAllCaches();
  EXPECT_EQ(db.FindKeyId("user1000" + std::string(24, 'x') + "@long.example", "VRX", false),
            "LONG");
  EXPECT_EQ(db.FindKeyId("USER1299" + std::string(24, 'X') + "@LONG.example", "vrx", false),
            "LONG");
}

TEST_F(KeyTablesTest, MissingAddressTableFailsOnlyLookupsWithLoggedErrors) {
  KeyRecord key = MakeKey("M1", "m@x.com");
  ASSERT_TRUE(db.WriteKey(key));
  CloseAllTables();
  Raw("DROP TABLE \"URLRECIPS.DAT\"");
  ClearAllCaches();
  KeyRecord read;
  EXPECT_TRUE(db.ReadKey("M1", read));
  EXPECT_EQ(read.aliases, "");
  EXPECT_NE(Log().find(":GETKEYURLLIST-Unrecoverable Database error after 10 attempts: no such "
                       "table: URLRECIPS.DAT\r\n"),
            std::string::npos);
  EXPECT_EQ(db.FindKeyId("m@x.com", "VRX", true), "");
  EXPECT_NE(Log().find(":ReadURL -Unrecoverable"), std::string::npos);
  // Only one wildcard pass is made after a failed look-up.
  std::size_t failures = 0;
  for (std::size_t at = Log().find("ReadURL -"); at != std::string::npos;
       at = Log().find("ReadURL -", at + 1))
    ++failures;
  EXPECT_EQ(failures, 1u);
}

TEST_F(KeyTablesTest, ReplacedDatabaseFileIsUsedByTheNextOperation) {
  KeyRecord old = MakeKey("OLD", "old@x.com");
  ASSERT_TRUE(db.WriteKey(old));
  // Another database of the same name, written elsewhere and moved over
  // the first while this process keeps its connection to the first.
  std::filesystem::create_directories(dir.Path() / "other");
  {
    TKeysDB other;
    ASSERT_TRUE(other.Open(dir / "other/RECIPS.DAT", "", kRandom, "", kPass));
    KeyRecord replacement = MakeKey("NEW", "new@x.com");
    ASSERT_TRUE(other.WriteKey(replacement));
  }
  CloseTables(DbFile::Make(dir / "other/RECIPS.DAT"));
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("OLD", read));
  // The first file's write-ahead log is emptied first: a log left beside
  // a replaced file would be read as part of the new one.
  Raw("PRAGMA wal_checkpoint(TRUNCATE)");
  std::filesystem::rename(dir / "other/RECIPS.DAT", dir / "RECIPS.DAT");

  ClearAllCaches();  // the stamp did not change; only the file did
  EXPECT_EQ(db.FindKeyId("new@x.com", "VRX", false), "NEW");
  EXPECT_EQ(db.FindKeyId("old@x.com", "VRX", false), "");
  EXPECT_TRUE(db.ReadKey("NEW", read));
  EXPECT_EQ(read.aliases, "new@x.com");
  EXPECT_FALSE(db.ReadKey("OLD", read));
}

TEST_F(KeyTablesTest, KeyFoundByAddressReadsAsFromTheTableAndFollowsTheStamp) {
  KeyRecord key = MakeKey("P1", "p@x.com,q@x.com");
  key.signingKey = "SK";
  key.encrypt = true;
  key.reference = KeyReference::Parse("1A0F0102");
  const std::vector<std::uint8_t> plain(64, 0x42);
  db.SetBlocks(key, plain.data(), 64, plain.data(), 32);
  ASSERT_TRUE(db.WriteKey(key));

  ClearAllCaches();
  EXPECT_EQ(db.FindKeyId("nobody@x.com,Q@X.COM", "VRX", false), "P1");
  KeyRecord afterFind;
  ASSERT_TRUE(db.ReadKey("P1", afterFind));
  ClearAllCaches();
  KeyRecord fromTable;
  ASSERT_TRUE(db.ReadKey("P1", fromTable));
  EXPECT_EQ(afterFind.aliases, "q@x.com,p@x.com");
  EXPECT_EQ(afterFind.aliases, fromTable.aliases);
  EXPECT_EQ(afterFind.displayLabel, fromTable.displayLabel);
  EXPECT_EQ(afterFind.block1, fromTable.block1);
  EXPECT_EQ(afterFind.block2, fromTable.block2);
  EXPECT_EQ(afterFind.expires, fromTable.expires);
  EXPECT_EQ(afterFind.updateStamp, fromTable.updateStamp);
  EXPECT_EQ(afterFind.reference, fromTable.reference);
  EXPECT_EQ(afterFind.signingKey, "SK");
  EXPECT_TRUE(afterFind.encrypt);

  // Another process changes the row: the key read after a look-up is the
  // cached one until that process's stamp arrives, then the stored one.
  ClearAllCaches();
  EXPECT_EQ(db.FindKeyId("p@x.com", "VRX", false), "P1");
  Raw("UPDATE \"RECIPS.DAT\" SET ENTITY_NAME = 'Changed'");
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("P1", read));
  EXPECT_EQ(read.entityName, "Owner P1");
  bool ok = false;
  OwnerStamp::Replace(dir / "RECIPS.DAT.ini", "20990101000000-1-1", &ok);
  ASSERT_TRUE(ok);
  ASSERT_TRUE(db.ReadKey("P1", read));
  EXPECT_EQ(read.entityName, "Changed");
}

}  // namespace
}  // namespace nimbra::keys
