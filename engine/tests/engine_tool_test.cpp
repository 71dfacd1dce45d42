// The engine tool run as a user runs it: output formats, round trips and
// exit status 2 for bad input.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace {

const std::string kTool = nimbra::testsupport::BuiltProgram("nimbra-engine").string();

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunTool(const std::string& args) {
  const auto run = nimbra::testsupport::RunCommand(kTool + " " + args);
  return {run.status, run.out, run.err};
}

class EngineTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::exists(kTool)) << kTool << " is not built"; }
  std::string Write(const std::string& name, const std::string& content) {
    nimbra::testsupport::WriteText(dir_ / name, content);
    return (dir_ / name).string();
  }
  std::string ReadFile(const std::string& path) { return nimbra::testsupport::ReadText(path); }

  nimbra::testsupport::TempFolder folder_{"nimbra-engine-tool"};
  const std::filesystem::path& dir_ = folder_.Path();
};

TEST_F(EngineTool, Crc32OfAFile) {
  const Result r = RunTool("crc32 " + Write("check", "123456789"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "cbf43926\n");
}

TEST_F(EngineTool, KeystreamFormats) {
  const std::string key = "--sizes 28 --key-hex 00112233445566778899aabbccddeeff --expand";
  const Result bytes = RunTool("keystream " + key + " --count 16");
  ASSERT_EQ(bytes.status, 0);
  EXPECT_EQ(bytes.out.size(), 33u);
  EXPECT_EQ(RunTool("keystream " + key + " --count 16").out, bytes.out);
  const Result dwords = RunTool("keystream " + key + " --count 4 --output dword");
  EXPECT_EQ(dwords.out.size(), 33u);
  // A dword is the same draw as a byte, 32 bits wide: its low byte comes first.
  EXPECT_EQ(dwords.out.substr(6, 2), bytes.out.substr(0, 2));
  EXPECT_EQ(dwords.out.find_first_not_of("0123456789abcdef\n"), std::string::npos);
}

TEST_F(EngineTool, CipherAndSecretRoundTrips) {
  std::string plain(10000, '\0');
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(i * 13);
  const std::string in = Write("plain", plain);
  const std::string enc = (dir_ / "enc").string(), dec = (dir_ / "dec").string();
  for (const char* mode : {"byte", "bit"}) {
    const std::string key = std::string("--sizes 44 --key-hex 0102030405 --granularity ") + mode;
    const Result e = RunTool("cipher encrypt " + key + " " + in + " " + enc);
    ASSERT_EQ(e.status, 0);
    const Result d = RunTool("cipher decrypt " + key + " " + enc + " " + dec);
    EXPECT_EQ(d.out, e.out);
    EXPECT_EQ(ReadFile(dec), plain);
    EXPECT_NE(ReadFile(enc), plain);
  }
  const Result s = RunTool("secret encrypt --pass pw --random-hex " + std::string(40, 'a') + " " +
                           in + " " + enc);
  ASSERT_EQ(s.status, 0);
  EXPECT_EQ(ReadFile(enc).size(), plain.size() + 20);
  EXPECT_EQ(RunTool("secret decrypt --pass pw " + enc + " " + dec).out, s.out);
  EXPECT_EQ(ReadFile(dec), plain);
}

TEST_F(EngineTool, FailedCommandsLeaveAnExistingOutAsItWas) {
  const std::string in = Write("plain", std::string(3000, 'x'));
  const std::string out = Write("out", "precious");
  const std::string enc = (dir_ / "enc").string();
  // Too short to be protected data: nothing is written.
  EXPECT_EQ(RunTool("secret decrypt --pass pw " + Write("tiny", "short") + " " + out).status, 2);
  EXPECT_EQ(ReadFile(out), "precious");

  const Result s = RunTool("secret encrypt --pass pw --random-hex " + std::string(40, 'b') + " " +
                           in + " " + enc);
  ASSERT_EQ(s.status, 0);
  const std::string crc = s.out.substr(0, 8);
  const Result wrong = RunTool("secret decrypt --pass other --crc " + crc + " " + enc + " " + out);
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("pass phrase"), std::string::npos) << wrong.err;
  EXPECT_EQ(ReadFile(out), "precious");
  EXPECT_EQ(RunTool("secret decrypt --pass pw --crc " + crc + " " + enc + " " + out).status, 0);
  EXPECT_EQ(ReadFile(out), std::string(3000, 'x'));
  const Result bad_crc = RunTool("secret decrypt --pass pw --crc 12 " + enc + " " + out);
  EXPECT_EQ(bad_crc.status, 2);
  EXPECT_NE(bad_crc.err.find("--crc needs 8 hex digits, not '12' (usage: secret"),
            std::string::npos)
      << bad_crc.err;

  const std::string key = "--sizes 28 --key-hex 0102";
  const Result onto = RunTool("cipher encrypt " + key + " " + in + " " + in);
  EXPECT_EQ(onto.status, 2);
  EXPECT_NE(onto.err.find("IN and OUT are the same file"), std::string::npos) << onto.err;
  EXPECT_EQ(ReadFile(in), std::string(3000, 'x'));
  // No temporary file is left beside OUT.
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().find(".~"), std::string::npos) << entry.path();
}

TEST_F(EngineTool, KeyPrintsIdAndStream) {
  const Result r = RunTool("key --sizes 28 --key-hex 0a0b0c --block-size 2048 --granularity bit");
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.out.size(), 8 + 1 + 2 * 212 + 1);
  EXPECT_EQ(r.out.substr(9, 8), "28000000");  // header length 40
}

TEST_F(EngineTool, BadInputExitsWithStatus2) {
  EXPECT_EQ(RunTool("").status, 2);
  EXPECT_EQ(RunTool("nosuch").status, 2);
  EXPECT_EQ(RunTool("keystream --sizes 30 --key-hex 00 --count 1").status, 2);
  EXPECT_EQ(RunTool("keystream --sizes 28 --key-hex zz --count 1").status, 2);
  EXPECT_EQ(RunTool("keystream --sizes 28 --key-hex 00 --count 1 --bogus").status, 2);
  EXPECT_EQ(RunTool("crc32 " + (dir_ / "missing").string()).status, 2);
  const std::string tiny = Write("tiny", "short");
  EXPECT_EQ(RunTool("secret decrypt --pass pw " + tiny + " " + (dir_ / "out").string()).status, 2);
}

}  // namespace
