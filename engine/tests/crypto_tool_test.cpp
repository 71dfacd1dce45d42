// The engine tool's field, key-pair, cipher and random commands run as a
// user runs them.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace {

const std::string kProgram = nimbra::testsupport::BuiltProgram("nimbra-engine").string();

struct Output {
  int status;
  std::vector<std::string> lines;
  std::string err;
};

Output RunProgram(const std::string& args) {
  const auto run = nimbra::testsupport::RunCommand(kProgram + " " + args);
  Output out{run.status, {}, run.err};
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) out.lines.push_back(line);
  return out;
}

class CryptoTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram << " is not built";
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::string Read(const std::string& name) const {
    return nimbra::testsupport::ReadText(folder_ / name);
  }

  nimbra::testsupport::TempFolder folder_{"nimbra-crypto-tool"};
};

TEST_F(CryptoTool, FieldPowers) {
  // Exponent 1 (bit m = 273 of the 607-bit array: byte 34, mask 0x40).
  std::string e(152, '0');
  e[68] = '4';
  const Output x = RunProgram("field power-of-x --n 607 --exp-hex " + e);
  ASSERT_EQ(x.status, 0);
  ASSERT_EQ(x.lines.size(), 1u);
  std::string expected(152, '0');  // x: bit 274, byte 34, mask 0x20
  expected[68] = '2';
  EXPECT_EQ(x.lines[0], expected);
  const Output b = RunProgram("field power --n 607 --exp-hex " + e + " --base-hex " + expected);
  EXPECT_EQ(b.lines, x.lines);
  EXPECT_EQ(RunProgram("field power --n 607 --exp-hex 00 --base-hex " + expected).status, 2);
  EXPECT_EQ(RunProgram("field power-of-x --n 600 --exp-hex 01").status, 2);
}

TEST_F(CryptoTool, KeyPairEncryptDecryptRoundTrip) {
  const std::string seed = "00112233445566778899aabbccddeeff";
  const Output pair = RunProgram("keypair --sizes 28 --seed-hex " + seed + " --granularity bit");
  ASSERT_EQ(pair.status, 0);
  ASSERT_EQ(pair.lines.size(), 3u);
  EXPECT_EQ(pair.lines[0].size(), 8u);
  EXPECT_EQ(pair.lines[1].size(), 2 * 212u);
  EXPECT_EQ(pair.lines[2].size(), 2 * 212u);

  const Output files =
      RunProgram("keypair --sizes 28 --seed-hex " + seed + " --granularity bit --out-private " +
                 Path("priv") + " --out-public " + Path("pub"));
  ASSERT_EQ(files.status, 0);
  EXPECT_EQ(files.lines[0], pair.lines[0]);
  EXPECT_EQ(Read("pub").size(), 212u);

  std::ofstream(Path("plain"), std::ios::binary) << std::string(5000, 'p') << "tail";
  const std::string key(2 * 152, 'a');  // 2L = 1214 bits: 152 bytes
  const Output enc =
      RunProgram("encrypt --public " + Path("pub") + " --store-keyid --message-key-hex " + key +
                 " " + Path("plain") + " " + Path("cipher"));
  ASSERT_EQ(enc.status, 0);
  const Output again = RunProgram("encrypt --public " + Path("pub") + " --message-key-hex " + key +
                                  " " + Path("plain") + " " + Path("cipher2"));
  ASSERT_EQ(again.status, 0);
  EXPECT_EQ(again.lines, enc.lines);
  // Only the stored key identifier differs.
  EXPECT_EQ(Read("cipher").substr(264), Read("cipher2").substr(264));
  EXPECT_NE(Read("cipher").find(pair.lines[0]), std::string::npos);

  const Output dec =
      RunProgram("decrypt --private " + Path("priv") + " " + Path("cipher") + " " + Path("out"));
  ASSERT_EQ(dec.status, 0);
  EXPECT_EQ(dec.lines, enc.lines);  // the same CRC
  EXPECT_EQ(Read("out"), Read("plain"));
  EXPECT_EQ(RunProgram("encrypt --public " + Path("pub") + " --message-key-hex 00 " +
                       Path("plain") + " " + Path("c3"))
                .status,
            2);
}

TEST_F(CryptoTool, KeysOfTheWrongHalfAndWrongKeysAreRefused) {
  const std::string seed = "00112233445566778899aabbccddeeff";
  ASSERT_EQ(RunProgram("keypair --sizes 28 --seed-hex " + seed + " --out-private " + Path("priv") +
                       " --out-public " + Path("pub"))
                .status,
            0);
  ASSERT_EQ(RunProgram("keypair --sizes 28 --seed-hex 01 --out-private " + Path("other") +
                       " --out-public " + Path("other.pub"))
                .status,
            0);
  std::ofstream(Path("plain"), std::ios::binary) << "a message";
  const Output enc =
      RunProgram("encrypt --public " + Path("pub") + " " + Path("plain") + " " + Path("cipher"));
  ASSERT_EQ(enc.status, 0);
  std::ofstream(Path("out"), std::ios::binary) << "kept";

  const Output swapped =
      RunProgram("decrypt --private " + Path("pub") + " " + Path("cipher") + " " + Path("out"));
  EXPECT_EQ(swapped.status, 2);
  EXPECT_NE(swapped.err.find(Path("pub") + " holds a public key"), std::string::npos)
      << swapped.err;
  EXPECT_EQ(RunProgram("encrypt --public " + Path("priv") + " " + Path("plain") + " " + Path("out"))
                .status,
            2);
  // Another private key decrypts to garbage: the CRC the encryption printed tells.
  const Output wrong = RunProgram("decrypt --private " + Path("other") + " --crc " + enc.lines[0] +
                                  " " + Path("cipher") + " " + Path("out"));
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("CRC-32"), std::string::npos) << wrong.err;
  EXPECT_EQ(Read("out"), "kept");
  EXPECT_EQ(RunProgram("decrypt --private " + Path("priv") + " --crc " + enc.lines[0] + " " +
                       Path("cipher") + " " + Path("out"))
                .status,
            0);
  EXPECT_EQ(Read("out"), "a message");
  // Decrypting a file onto itself would lose it.
  const Output same =
      RunProgram("decrypt --private " + Path("priv") + " " + Path("cipher") + " " + Path("cipher"));
  EXPECT_EQ(same.status, 2);
  EXPECT_NE(same.err.find("same file"), std::string::npos) << same.err;
  EXPECT_EQ(Read("cipher").size(), 212u + 52u + 9u);
}

TEST_F(CryptoTool, RandomBytesFollowTheSeed) {
  const Output a = RunProgram("random --seed-hex 0102 --count 16");
  ASSERT_EQ(a.status, 0);
  ASSERT_EQ(a.lines.size(), 1u);
  EXPECT_EQ(a.lines[0].size(), 32u);
  EXPECT_EQ(RunProgram("random --seed-hex 0102 --count 16").lines, a.lines);
  EXPECT_NE(RunProgram("random --seed-hex 0103 --count 16").lines, a.lines);
  // Counts are bounded like the key stream's, and a bad number is named.
  for (const char* count : {"1000000000000000", "100000000", "-1", "16x"}) {
    const Output bad = RunProgram(std::string("random --seed-hex 0102 --count ") + count);
    EXPECT_EQ(bad.status, 2) << count;
    EXPECT_NE(bad.err.find("--count needs a number from 0 to 16777216, not '" + std::string(count) +
                           "' (usage: random"),
              std::string::npos)
        << bad.err;
  }
  const Output n = RunProgram("field power-of-x --n x607 --exp-hex 01");
  EXPECT_EQ(n.status, 2);
  EXPECT_NE(n.err.find("--n needs a number from 1 to 8192, not 'x607' (usage: field"),
            std::string::npos)
      << n.err;
}

}  // namespace
