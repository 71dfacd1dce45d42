#include <gtest/gtest.h>

#include <cstring>

#include "keys/keys_db.h"
#include "keys/old_key_file.h"
#include "keys/tests/temp_dir.h"

namespace nimbra::keys {
namespace {

const std::vector<std::uint8_t> kRandom(100, 1);
const std::string kPass = "PPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPP";

// Writes an older key file in the layout documented in old_key_file.h.
std::string WriteOldKeyFile(const std::vector<OldKeyEntry>& entries) {
  std::string out(kOldKeyFileMagic, 8);
  auto u32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char(v >> (8 * i) & 0xff);
  };
  u32(kOldKeyEntrySize);
  u32(std::uint32_t(entries.size()));
  for (const OldKeyEntry& e : entries) {
    const std::size_t start = out.size();
    auto text = [&out](const std::string& s, std::size_t field) {
      std::string padded = s.substr(0, field - 1);
      padded.resize(field, '\0');
      out += padded;
    };
    auto block = [&](std::int32_t length, const std::vector<std::uint8_t>& bytes) {
      u32(std::uint32_t(length));
      std::string padded(bytes.begin(), bytes.end());
      padded.resize(kOldBlockSize, '\0');
      out += padded;
    };
    text(e.name, 65);
    out += char(e.keyClass);
    text(e.label, 81);
    text(e.keyId, 21);
    text(e.version, 41);
    out += char(e.encrypt);
    out += char(e.deliver);
    out += char(e.verified);
    text(e.signatureId, 41);
    text(e.signatureType, 41);
    text(e.signingName, 101);
    text(e.signingKey, 201);
    out += char(e.source);
    text(e.aliases, 8193);
    block(e.block1Length, e.block1);
    block(e.block2Length, e.block2);
    text(e.dsaText, 2050);
    EXPECT_EQ(out.size() - start, kOldKeyEntrySize);
  }
  return out;
}

TEST(OldKeyFile, RejectsDamagedFiles) {
  OldKeyEntry entry;
  entry.keyId = "A";
  std::string good = WriteOldKeyFile({entry});
  std::vector<std::uint8_t> bytes(good.begin(), good.end());
  EXPECT_EQ(ParseOldKeyFile(bytes).size(), 1u);
  bytes.pop_back();
  EXPECT_THROW(ParseOldKeyFile(bytes), EOldKeyFile);
  bytes[8] = 1;
  EXPECT_THROW(ParseOldKeyFile(bytes), EOldKeyFile);
  EXPECT_THROW(ParseOldKeyFile({'N', 'P'}), EOldKeyFile);
}

TEST(OldKeyImport, NewFileTakesTheKeysOfTheOlderFile) {
  test::TempDir dir;
  // Blocks in the older file are protected as the databases protect them.
  TKeysDB protector;
  std::filesystem::create_directories(dir.Path() / "p");
  ASSERT_TRUE(protector.Open(dir / "p/X.DAT", "", kRandom, "", kPass));
  std::vector<std::uint8_t> plain(180);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = std::uint8_t(i);
  const std::vector<std::uint8_t> stored = protector.Protect(plain, 0);

  OldKeyEntry vrx;
  vrx.name = "Ann";
  vrx.keyClass = 1;
  vrx.label = "Ann/VRX-0011aabb";
  vrx.keyId = "0011aabb";
  vrx.version = "VRX Strong -1";
  vrx.encrypt = vrx.deliver = vrx.verified = true;
  vrx.signatureId = "SIG";
  vrx.aliases = "ann@x.example,ann@y.example";
  vrx.block1Length = std::int32_t(stored.size());
  vrx.block1 = stored;
  vrx.block2Length = 100;  // outside 150..512: not carried over
  vrx.block2 = std::vector<std::uint8_t>(100, 1);
  OldKeyEntry dsa;
  dsa.name = "Ann";
  dsa.label = "Ann/DSA-CAFEBABE";
  dsa.keyId = "CAFEBABE";
  dsa.aliases = "ignored@x.example";
  dsa.dsaText = "/DSA PUBLIC KEY,VR:1,VR:2,VR:3,VR:4";
  dir.Write("recips.db", WriteOldKeyFile({vrx, dsa}));

  TKeysDB db;
  ASSERT_TRUE(db.Open(dir / "RECIPS.DAT", "", kRandom, "", kPass));
  KeyRecord read;
  ASSERT_TRUE(db.ReadKey("0011aabb", read));
  EXPECT_EQ(read.containerType, "VRX");
  EXPECT_EQ(read.entityGroupName, "Version 3.0");
  EXPECT_EQ(read.policy, "Default");
  EXPECT_EQ(read.expires, DateTime::Date(2099, 1, 1));
  EXPECT_TRUE(read.encrypt && read.deliver && read.verified);
  EXPECT_FALSE(read.showSubject || read.multiRecip || read.dsaSigning);
  EXPECT_EQ(read.signatureId, "SIG");
  EXPECT_EQ(read.block2.Length(), 0);
  std::string key1, key2;
  ASSERT_TRUE(db.PublicKeyLetters(read, key1, key2));
  EXPECT_EQ(FromLetters(key1, key2), plain);
  EXPECT_EQ(db.FindKeyId("ann@y.example", "VRX", false), "0011aabb");

  ASSERT_TRUE(db.ReadKey("CAFEBABE", read));
  EXPECT_EQ(read.containerType, "DSA");
  EXPECT_EQ(read.aliases, "");
  EXPECT_EQ(db.PublicBlockText(read), dsa.dsaText);
  EXPECT_EQ(db.FindKeyId("ignored@x.example", "DSA", false), "");

  const std::string debug = dir.Read("DEBUG.TXT");
  EXPECT_EQ(debug.substr(0, 9), "0011aabb ");
  EXPECT_NE(debug.find("0011aabb " + key2 + "\r\n________________\r\n"), std::string::npos);
  EXPECT_NE(debug.find("CAFEBABE "), std::string::npos);

  // Only a new file imports: opening again adds nothing.
  TKeysDB again;
  db.Close();
  dir.Write("recips.db", "damaged");
  ASSERT_TRUE(again.Open(dir / "RECIPS.DAT", "", kRandom, "", kPass));
  EXPECT_EQ(dir.Read("DBERROR.LOG"), "");
}

TEST(OldKeyImport, DamagedOlderFileIsLoggedAndImportsNothing) {
  test::TempDir dir;
  dir.Write("MYKEYS.DB", "NPKEYDB1 cut short");
  TKeysDB db;
  ASSERT_TRUE(db.Open(dir / "MYKEYS.DAT", "", kRandom, "", kPass));
  EXPECT_NE(dir.Read("DBERROR.LOG").find("MYKEYS.DAT:"), std::string::npos);
  EXPECT_NE(dir.Read("DBERROR.LOG").find(":ImportOldDB -"), std::string::npos);
  KeyRecord read;
  EXPECT_FALSE(db.ReadKey("X", read));
}

}  // namespace
}  // namespace nimbra::keys
