#include "platform/links/shell_link_format.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

std::vector<std::uint8_t> ReadData(const std::string& name) {
  std::ifstream in(std::string(NIMBRA_SOURCE_DIR) + "/platform/tests/data/" + name,
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

ShellLinkFile FullLink() {
  ShellLinkFile link;
  link.creation_time = 0x01BF53EB256D4000ull;  // 2000-01-01
  link.access_time = link.creation_time;
  link.write_time = link.creation_time;
  link.file_size = 12345;
  link.icon_index = 2;
  link.show_command = kShowMinNoActive;
  link.hot_key = 0x0641;
  link.local_base_path = "C:\\Program Files\\NimbraPost\\NimbraMGR.exe";
  link.drive_serial = 0x1234ABCD;
  link.volume_label = "SYSTEM";
  link.description = "Uninstall (Keep Data)";
  link.relative_path = ".\\NimbraMGR.exe";
  link.working_dir = "C:\\Program Files\\NimbraPost";
  link.arguments = "DIS";
  link.icon_location = "C:\\Program Files\\NimbraPost\\Peruse.exe";
  return link;
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(ShellLinkFormat, ReferenceFilesReadAndAreWrittenAgainByteForByte) {
  for (const char* name : {"ansi.lnk", "unicode.lnk"}) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> original = ReadData(name);
    ASSERT_FALSE(original.empty());
    ShellLinkFile link = DecodeShellLink(original);
    EXPECT_EQ(link.description, "NimbraPost Manager");
    EXPECT_EQ(link.drive_serial, 0x1234ABCDu);
    EXPECT_EQ(link.file_size, 12345u);
    EXPECT_EQ(EncodeShellLink(link), original);
  }
  ShellLinkFile ids = DecodeShellLink(ReadData("idlist.lnk"));
  EXPECT_TRUE(ids.had_id_list);
  EXPECT_EQ(ids.local_base_path, "C:\\");
  EXPECT_EQ(ids.relative_path, "..");
  ShellLinkFile bare = DecodeShellLink(ReadData("nolinkinfo.lnk"));
  EXPECT_EQ(bare.local_base_path, "");
  EXPECT_EQ(bare.working_dir, "C:\\w");
}

TEST(ShellLinkFormat, StructureAndRoundTripOfEveryField) {
  for (bool unicode : {true, false}) {
    ShellLinkFile link = FullLink();
    link.unicode = unicode;
    link.description = "Caf\xE9 \x80 Men\xFC";  // CP-1252 letters and the euro sign
    std::vector<std::uint8_t> bytes = EncodeShellLink(link);
    EXPECT_EQ(U32At(bytes, 0x14), unicode ? 0xFEu : 0x7Eu);  // flags match the structures
    EXPECT_EQ(U32At(bytes, 0x3C), kShowMinNoActive);
    EXPECT_EQ(bytes[0x40] | (bytes[0x41] << 8), 0x0641);
    std::uint32_t info_size = U32At(bytes, 0x4C);
    EXPECT_EQ(U32At(bytes, 0x4C + 0x18), info_size - 1);  // empty suffix is the last byte
    EXPECT_EQ(U32At(bytes, bytes.size() - 4), 0u);        // terminal block
    if (unicode) {
      // Character count, not byte count, and no NUL after the text.
      std::size_t at = 0x4C + info_size;
      EXPECT_EQ(bytes[at] | (bytes[at + 1] << 8), 11);
      EXPECT_EQ(bytes[at + 2 + 2 * 5], 0xAC);  // U+20AC little-endian
      EXPECT_EQ(bytes[at + 2 + 2 * 5 + 1], 0x20);
    }
    EXPECT_EQ(DecodeShellLink(bytes), link);
  }
  // Absent texts leave their flags clear; no target means no LinkInfo.
  ShellLinkFile empty;
  std::vector<std::uint8_t> bytes = EncodeShellLink(empty);
  EXPECT_EQ(U32At(bytes, 0x14), 0x80u);
  EXPECT_EQ(bytes.size(), 0x4Cu + 4);
}

TEST(ShellLinkFormat, MalformedInputIsAnErrorNotACrash) {
  std::vector<std::uint8_t> good = EncodeShellLink(FullLink());
  for (std::size_t cut = 0; cut < good.size() - 4; ++cut) {
    std::vector<std::uint8_t> part(good.begin(), good.begin() + cut);
    EXPECT_THROW(DecodeShellLink(part), ShellLinkError) << cut;
  }
  std::vector<std::uint8_t> bad_clsid = good;
  bad_clsid[4] ^= 1;
  EXPECT_THROW(DecodeShellLink(bad_clsid), ShellLinkError);
  std::vector<std::uint8_t> bad_offset = good;
  bad_offset[0x4C + 0x10] = 0xF0;  // LocalBasePathOffset past LinkInfo
  EXPECT_THROW(DecodeShellLink(bad_offset), ShellLinkError);
  std::vector<std::uint8_t> flag_without_structure = EncodeShellLink(ShellLinkFile{});
  flag_without_structure.resize(0x4C);
  flag_without_structure[0x14] |= 0x04;  // HasName, but nothing follows
  EXPECT_THROW(DecodeShellLink(flag_without_structure), ShellLinkError);
}

// Runs lnkinfo on a file and returns its "name : value" lines.
std::map<std::string, std::string> LnkInfo(const std::string& path, int* status) {
  std::map<std::string, std::string> fields;
  const testsupport::CommandResult run =
      testsupport::RunCommand("lnkinfo " + testsupport::ShellQuote(path));
  std::istringstream lines(run.out);
  for (std::string text; std::getline(lines, text);) {
    std::size_t colon = text.find(':');
    if (colon == std::string::npos || text[0] != '\t') continue;
    std::string name = text.substr(1, colon - 1);
    while (!name.empty() && (name.back() == '\t' || name.back() == ' ')) name.pop_back();
    std::string value = text.substr(colon + 1);
    while (!value.empty() && value.back() == '\r') value.pop_back();
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    fields.emplace(name, value);
  }
  *status = run.status;
  return fields;
}

TEST(ShellLinkFormat, LnkinfoReadsWhatWeWrite) {
  if (!testsupport::OnPath("lnkinfo")) {
    GTEST_SKIP() << "lnkinfo (Debian package liblnk-utils) is not installed";
  }
  testsupport::TempFolder dir("nimbra-lnk");
  for (bool unicode : {true, false}) {
    SCOPED_TRACE(unicode ? "unicode" : "ansi");
    ShellLinkFile link = FullLink();
    link.unicode = unicode;
    link.description = "Send Encrypted Message \xE9";
    std::string path = (dir / "link.lnk").string();
    std::vector<std::uint8_t> bytes = EncodeShellLink(link);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    int status = -1;
    auto fields = LnkInfo(path, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fields["Local path"], link.local_base_path);
    EXPECT_EQ(fields["Description"], "Send Encrypted Message \xC3\xA9");  // printed as UTF-8
    EXPECT_EQ(fields["Relative path"], link.relative_path);
    EXPECT_EQ(fields["Working directory"], link.working_dir);
    EXPECT_EQ(fields["Command line arguments"], link.arguments);
    EXPECT_EQ(fields["Icon location"], link.icon_location);
    EXPECT_EQ(fields["Icon index"], "2");
    EXPECT_EQ(fields["Drive type"], "Fixed (3)");
    EXPECT_EQ(fields["Drive serial number"], "0x1234abcd");
    EXPECT_EQ(fields["Volume label"], "SYSTEM");
    EXPECT_EQ(fields["File size"], "12345 bytes");
    EXPECT_EQ(fields["File attribute flags"], "0x00000020");
    EXPECT_EQ(fields["Creation time"], "Jan 01, 2000 00:00:00.000000000 UTC");
  }
}

}  // namespace
}  // namespace nimbra::platform
