#include "keys/keys_db.h"

#include <gtest/gtest.h>

#include "core/stream.h"
#include "keys/clock.h"
#include "keys/key_schema.h"
#include "keys/sqlite_db.h"
#include "keys/table_pool.h"
#include "keys/tests/sample_key.h"
#include "keys/tests/temp_dir.h"

namespace nimbra::keys {
namespace {

using test::MakeKey;

const std::vector<std::uint8_t> kRandom(100, 7);
const std::string kPass1 = "1111111111222222222233333333334444444444";
const std::string kPass2 = "AAAAAAAAAABBBBBBBBBBCCCCCCCCCCDDDDDDDDDD";

class KeysDbTest : public ::testing::Test {
 protected:
  bool OpenPair(TKeysDB& db, const std::string& second = "Recips.DAT",
                const std::string& firstPassword = kPass1) {
    std::filesystem::create_directories(dir.Path() / "shared");
    return db.Open(dir / "RECIPS.DAT", dir / ("shared/" + second), kRandom, kPass2, firstPassword);
  }
  std::string Log() const { return dir.Read("DBERROR.LOG"); }

  test::TempDir dir;
};

TEST_F(KeysDbTest, CreatesBothTablesWithIndexesAndDescriptions) {
  TKeysDB db;
  ASSERT_TRUE(db.Open(dir / "MYKeys.DAT", "", kRandom, "", kPass1));
  EXPECT_FALSE(db.Open(dir / "MYKeys.DAT", "", kRandom, "", kPass1));  // already open
  EXPECT_EQ(db.FirstName(), "MYKEYS.DAT");
  Database raw(dir / "MYKeys.DAT", false, 100);
  EXPECT_TRUE(raw.TableExists("MYKEYS.DAT"));
  EXPECT_TRUE(raw.TableExists("URLMYKEYS.DAT"));
  EXPECT_EQ(TableDescription(raw, "MYKEYS.DAT"), "Key Data Table");
  EXPECT_EQ(TableDescription(raw, "URLMYKEYS.DAT"), "URL Link Table");
  Statement& index =
      raw.Prepare("SELECT tbl_name FROM sqlite_master WHERE type='index' AND name='Aliases'");
  ASSERT_TRUE(index.Step());
  EXPECT_EQ(index.Text(0), "URLMYKEYS.DAT");
  index.Reset();
  // Field names are matched without regard to case.
  raw.Exec("SELECT sub_cntl_dsa_signing, SUB_CNTL_VERIFIED FROM \"MYKEYS.DAT\"");
  EXPECT_TRUE(db.Close());
  EXPECT_FALSE(db.Close());
}

TEST_F(KeysDbTest, KeyIdsAreCaseSensitiveAndAddressesAreNot) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  KeyRecord lower = MakeKey("abc", "Ann@Example.COM");
  KeyRecord upper = MakeKey("ABC", "bob@example.com");
  ASSERT_TRUE(db.WriteKey(lower));
  ASSERT_TRUE(db.WriteKey(upper));
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("abc", read));
  EXPECT_EQ(read.entityName, "Owner abc");
  ASSERT_TRUE(db.ReadKey("ABC", read));
  EXPECT_EQ(read.entityName, "Owner ABC");
  EXPECT_FALSE(db.ReadKey("Abc", read));
  EXPECT_EQ(db.FindKeyId("ann@example.com", "vrx", false), "abc");
  EXPECT_EQ(db.FindKeyId("ann@example.com", "DSA", false), "");
}

TEST_F(KeysDbTest, WriteAndReadBackEveryField) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  KeyRecord key = MakeKey("1234abcd", "a@x.com,b@y.com");
  key.requestUrl = "http://req";
  key.showSubject = key.dsaSigning = key.verified = true;
  key.signatureId = "SIG";
  key.signingUrl = "http://sign";
  key.signatureType = "DSA";
  key.signingName = "Authority";
  key.signingKey = std::string(250, 'K');  // the field holds 240, the record 200
  key.reference = KeyReference::Parse("1A0F0102");
  std::vector<std::uint8_t> plain(100);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = std::uint8_t(i * 3);
  db.SetBlocks(key, plain.data(), 50, plain.data(), 100);
  EXPECT_EQ(key.block1.Length(), 120);
  EXPECT_EQ(key.block2.Length(), 70);
  ASSERT_TRUE(db.WriteKey(key));

  CloseAllTables();
  ClearAllCaches();  // read from the file, not from this process's caches
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("1234abcd", read));
  EXPECT_EQ(read.source, 0);
  EXPECT_EQ(read.displayLabel, "Owner 1234abcd/1234abcd:Personal");
  EXPECT_EQ(read.keyClass, 1);
  EXPECT_EQ(read.requestUrl, "http://req");
  EXPECT_TRUE(read.encrypt && read.showSubject && read.dsaSigning && read.verified);
  EXPECT_FALSE(read.multiRecip || read.deliver);
  EXPECT_EQ(read.signingKey, std::string(200, 'K'));
  EXPECT_EQ(read.reference.Format(), "1A0F0102");
  EXPECT_EQ(read.expires, DateTime::Date(2099, 1, 1));
  EXPECT_EQ(read.block1.Length(), 120);
  // The newest address comes first.
  EXPECT_EQ(read.aliases, "b@y.com,a@x.com");

  std::string key1, key2;
  ASSERT_TRUE(db.PublicKeyLetters(read, key1, key2));
  EXPECT_EQ(FromLetters(key1, key2), plain);
  MemoryStream stream;
  ASSERT_TRUE(db.PublicBlockStream(read, stream));
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(stream.Data(), plain);

  Database raw(dir / "RECIPS.DAT", false, 100);
  Statement& st = raw.Prepare(
      "SELECT BLOCK1_LEN, BLOCK2_LEN, KEY_REFERENCE, length(BLOCK1), "
      "instr(BLOCK1, X'00030609') FROM \"RECIPS.DAT\"");
  ASSERT_TRUE(st.Step());
  EXPECT_EQ(st.Int(0), 120);
  EXPECT_EQ(st.Int(1), 70);
  EXPECT_EQ(st.Text(2), "1A0F0102");
  EXPECT_EQ(st.Int(3), 120);
  EXPECT_EQ(st.Int(4), 0);  // never stored plain
  st.Reset();
}

TEST_F(KeysDbTest, BlocksAreProtectedUnderTheirSourcesPasswordWithFreshValues) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  const std::string text = "/DSA PUBLIC KEY,VR:1,VR:2,VR:3,VR:4";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  KeyRecord first = MakeKey("D1", "", "DSA");
  KeyRecord second = MakeKey("D2", "", "DSA");
  second.source = 1;
  db.SetBlocks(first, bytes, int(text.size()), bytes, int(text.size()));
  db.SetBlocks(second, nullptr, 0, bytes, int(text.size()));
  EXPECT_EQ(db.PublicBlockText(first), text);
  EXPECT_EQ(db.PublicBlockText(second), text);
  EXPECT_EQ(second.block2.Length(), 0);
  // Each block gets a value of its own: the private and public blocks of one
  // key never share a keystream, though the same random bytes were handed in.
  EXPECT_NE(first.block1.Bytes()[0], first.block2.Bytes()[0]);
  EXPECT_FALSE(std::equal(first.block1.Bytes().begin(), first.block1.Bytes().end(),
                          first.block2.Bytes().begin()));
  // Under the other file set's password the block does not read back.
  KeyRecord swapped = second;
  swapped.source = 0;
  EXPECT_NE(db.PublicBlockText(swapped), text);
  // A block too short to hold the protection value does not decrypt.
  KeyRecord broken;
  const std::uint8_t few[5] = {};
  broken.block1.Assign(few);
  MemoryStream stream;
  EXPECT_FALSE(db.PublicBlockStream(broken, stream));
  std::string k1, k2;
  EXPECT_FALSE(db.PublicKeyLetters(broken, k1, k2));
}

TEST_F(KeysDbTest, LettersStoreBlocksAsSetBlocksDoes) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  KeyRecord key = MakeKey("L1", "l@x.com");
  db.SetPublicFromLetters(key, "MA", "DP");
  db.SetPrivateFromLetters(key, "ABC", "ABC");
  EXPECT_EQ(key.block1.Length(), 22);
  EXPECT_EQ(key.block2.Length(), 23);
  std::string k1, k2;
  ASSERT_TRUE(db.PublicKeyLetters(key, k1, k2));
  EXPECT_EQ(k1, "MA");
  EXPECT_EQ(k2, "DP");
  db.SetPublicFromLetters(key, "", "");
  EXPECT_EQ(key.block1.Length(), 0);
}

TEST_F(KeysDbTest, EmptyFirstPasswordLeavesOnlyTheSecondFile) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db, "Recips.DAT", ""));
  EXPECT_EQ(db.FirstName(), "");
  EXPECT_EQ(db.SecondName(), "RECIPS.DAT");
  EXPECT_FALSE(std::filesystem::exists(dir / "RECIPS.DAT"));
  KeyRecord key = MakeKey("S1", "s@x.com");
  EXPECT_FALSE(db.WriteKey(key));  // source 0 has no file
  key.source = 1;
  ASSERT_TRUE(db.WriteKey(key));
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("S1", read));
  EXPECT_EQ(read.source, 1);
  EXPECT_EQ(db.FindKeyId("s@x.com", "VRX", false), "S1");
}

TEST_F(KeysDbTest, FirstFileWinsForReadsAndLookups) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  KeyRecord inSecond = MakeKey("K1", "both@x.com,second@x.com");
  inSecond.entityName = "second";
  inSecond.source = 1;
  ASSERT_TRUE(db.WriteKey(inSecond));
  KeyRecord other = MakeKey("K2", "both@x.com");
  other.entityName = "first";
  ASSERT_TRUE(db.WriteKey(other));
  KeyRecord sameId = MakeKey("K1", "");
  sameId.entityName = "first copy";
  ASSERT_TRUE(db.WriteKey(sameId));

  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("K1", read));
  EXPECT_EQ(read.entityName, "first copy");
  EXPECT_EQ(read.source, 0);
  EXPECT_EQ(db.FindKeyId("both@x.com", "VRX", false), "K2");
  EXPECT_EQ(db.FindKeyId("second@x.com", "VRX", false), "K1");
  // Several addresses: tried in order until one has a key.
  EXPECT_EQ(db.FindKeyId("none@x.com, second@x.com", "VRX", false), "K1");
  EXPECT_EQ(db.FindKeyId("none@x.com, second@x.com,both@x.com", "VRX", false), "K2");
}

TEST_F(KeysDbTest, WildcardDomainRowIsFoundOnlyWithTheFlag) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  KeyRecord domain = MakeKey("DOM", "*@corp.example");
  ASSERT_TRUE(db.WriteKey(domain));
  KeyRecord own = MakeKey("OWN", "boss@corp.example");
  ASSERT_TRUE(db.WriteKey(own));
  EXPECT_EQ(db.FindKeyId("ann@corp.example", "VRX", false), "");
  EXPECT_EQ(db.FindKeyId("ann@corp.example", "VRX", true), "DOM");
  EXPECT_EQ(db.FindKeyId("boss@corp.example", "VRX", true), "OWN");
  EXPECT_EQ(db.FindKeyId("ann@other.example", "VRX", true), "");
  // An address without "@" is taken whole as the domain.
  KeyRecord bare = MakeKey("BARE", "*@localhost");
  ASSERT_TRUE(db.WriteKey(bare));
  EXPECT_EQ(db.FindKeyId("localhost", "VRX", true), "BARE");
}

TEST_F(KeysDbTest, RemovedAddressLosesItsLinkRowAndUnchangedListKeepsRows) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  KeyRecord key = MakeKey("R1", "a@x.com,b@x.com");
  ASSERT_TRUE(db.WriteKey(key));
  auto rowids = [&] {
    Database raw(dir / "RECIPS.DAT", false, 100);
    Statement& st = raw.Prepare("SELECT group_concat(URL || '=' || rowid) FROM \"URLRECIPS.DAT\"");
    st.Step();
    std::string text = st.Text(0);
    st.Reset();
    return text;
  };
  const std::string before = rowids();
  key.entityName = "renamed";
  ASSERT_TRUE(db.WriteKey(key));
  EXPECT_EQ(rowids(), before);  // same rows, not deleted and inserted again

  key.aliases = "b@x.com";
  ASSERT_TRUE(db.WriteKey(key));
  EXPECT_EQ(db.FindKeyId("a@x.com", "VRX", false), "");
  ClearAllCaches();
  EXPECT_EQ(db.FindKeyId("a@x.com", "VRX", false), "");
  EXPECT_EQ(db.FindKeyId("b@x.com", "VRX", false), "R1");
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("R1", read));
  EXPECT_EQ(read.aliases, "b@x.com");
  EXPECT_EQ(read.entityName, "renamed");
}

TEST_F(KeysDbTest, AddressMovesToTheKeyWrittenLast) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  KeyRecord oldKey = MakeKey("OLD", "moved@x.com");
  KeyRecord newKey = MakeKey("NEW", "moved@x.com");
  ASSERT_TRUE(db.WriteKey(oldKey));
  ASSERT_TRUE(db.WriteKey(newKey));
  EXPECT_EQ(db.FindKeyId("MOVED@x.com", "VRX", false), "NEW");
}

TEST_F(KeysDbTest, ExpiredKeyReadsWithoutEncryptFlag) {
  TKeysDB db;
  ASSERT_TRUE(OpenPair(db));
  KeyRecord key = MakeKey("EXP", "old@x.com");
  key.expires = DateTime::Date(2001, 1, 1);
  ASSERT_TRUE(db.WriteKey(key));
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("EXP", read));  // from the record cache
  EXPECT_FALSE(read.encrypt);
  ClearAllCaches();
  ASSERT_TRUE(db.ReadKey("EXP", read));  // from the table
  EXPECT_FALSE(read.encrypt);
  Database raw(dir / "RECIPS.DAT", false, 100);
  Statement& st = raw.Prepare("SELECT SUB_CNTL_ENCRYPT FROM \"RECIPS.DAT\"");
  ASSERT_TRUE(st.Step());
  EXPECT_EQ(st.Int(0), 1);
  st.Reset();
}

TEST_F(KeysDbTest, MissingDirectoryLeavesThatFileUnused) {
  TKeysDB db;
  ASSERT_TRUE(db.Open(dir / "nowhere/RECIPS.DAT", dir / "Recips.DAT", kRandom, kPass2, kPass1));
  EXPECT_EQ(db.FirstName(), "");
  EXPECT_EQ(db.SecondName(), "RECIPS.DAT");
  EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

TEST_F(KeysDbTest, ElevenFailedOpensRaiseTheUnrecoverableError) {
  TKeysDB db;
  ASSERT_TRUE(db.Open(dir / "RECIPS.DAT", "", kRandom, "", kPass1));
  KeyRecord key = MakeKey("F1", "f@x.com");
  ASSERT_TRUE(db.WriteKey(key));
  const DbFile file = DbFile::Make(dir / "RECIPS.DAT");

  InjectOpenFailures(11, "disk I/O error");
  try {
    SafeOpenTable(file, "RECIPS.DAT");
    FAIL() << "expected an error";
  } catch (const EDBEngineError& error) {
    EXPECT_STREQ(error.what(), "Unrecoverable Database error after 10 attempts: disk I/O error");
  }
  EXPECT_NE(Log().find("RECIPS.DAT:"), std::string::npos);
  EXPECT_NE(Log().find(":SafeOpen Unable to Recover disk I/O error\r\n"), std::string::npos);

  // Ten failures still recover on the eleventh attempt.
  InjectOpenFailures(10, "disk I/O error");
  EXPECT_NO_THROW(SafeOpenTable(file, "RECIPS.DAT"));
  EXPECT_NE(Log().find(":SafeOpen Recovered \r\n"), std::string::npos);

  // Inside an operation the error is logged and read as "not found".
  ClearAllCaches();
  InjectOpenFailures(11, "disk I/O error");
  KeyRecord read;
  EXPECT_FALSE(db.ReadKey("F1", read));
  EXPECT_NE(Log().find(":ReadKeyRec3- Unrecoverable Database error after 10 attempts"),
            std::string::npos);
  ClearAllCaches();
  InjectOpenFailures(11, "disk I/O error");
  EXPECT_EQ(db.FindKeyId("f@x.com", "VRX", false), "");
  EXPECT_NE(Log().find(":ReadURL -Unrecoverable"), std::string::npos);
  InjectOpenFailures(0, "");
  EXPECT_TRUE(db.ReadKey("F1", read));
}

TEST_F(KeysDbTest, DamagedFilesGiveLoggedErrorsAndEmptyResults) {
  dir.Write("RECIPS.DAT", std::string(4096, '\x5a'));
  dir.Write("Recips.DAT.other", "");
  TKeysDB db;
  ASSERT_TRUE(db.Open(dir / "RECIPS.DAT", "", kRandom, "", kPass1));
  KeyRecord read;
  EXPECT_FALSE(db.ReadKey("X", read));
  EXPECT_EQ(db.FindKeyId("a@x.com", "VRX", true), "");
  KeyRecord key = MakeKey("W", "w@x.com");
  EXPECT_FALSE(db.WriteKey(key));
  const std::string log = Log();
  EXPECT_NE(
      log.find(
          "ReadKeyRec3- Unrecoverable Database error after 10 attempts: file is not a database"),
      std::string::npos);
  EXPECT_NE(log.find("WriteKeyRec -"), std::string::npos);

  // An empty file is a database without tables.
  dir.Write("EMPTY.DAT", "");
  TKeysDB empty;
  ASSERT_TRUE(empty.Open(dir / "EMPTY.DAT", "", kRandom, "", kPass1));
  EXPECT_FALSE(empty.ReadKey("X", read));
  EXPECT_NE(Log().find("no such table: EMPTY.DAT"), std::string::npos);
}

}  // namespace
}  // namespace nimbra::keys
