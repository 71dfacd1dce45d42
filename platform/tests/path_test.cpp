#include "platform/files/path.h"

#include <gtest/gtest.h>

#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

TEST(PathText, NormalizeLocationCollapsesBackslashesAndEndsWithOne) {
  EXPECT_EQ(NormalizeLocation("D:\\Program Files\\\\NimbraPost"),
            "D:\\Program Files\\NimbraPost\\");
  EXPECT_EQ(NormalizeLocation("C:\\Data\\"), "C:\\Data\\");
  EXPECT_EQ(NormalizeLocation("C:\\a\\\\\\b\\\\"), "C:\\a\\b\\");
  EXPECT_EQ(NormalizeLocation("C:\\Data\\\\\\"), "C:\\Data\\");
  EXPECT_EQ(NormalizeLocation("C:"), "C:\\");
  EXPECT_EQ(NormalizeLocation(""), "\\");
  // The leading pair of a network path is kept.
  EXPECT_EQ(NormalizeLocation("\\\\server\\\\share"), "\\\\server\\share\\");
  EXPECT_EQ(NormalizeLocation("\\\\server\\share\\\\x"), "\\\\server\\share\\x\\");
}

TEST(PathText, MoveToDriveOfKeepsThePathAndTakesTheDrive) {
  EXPECT_EQ(MoveToDriveOf("C:\\Program Files\\NimbraPost\\Data\\", "D:\\Prog\\"),
            "D:\\Program Files\\NimbraPost\\Data\\");
  EXPECT_EQ(MoveToDriveOf("\\\\server\\share\\", "D:\\Prog\\"), "\\\\server\\share\\");
  EXPECT_EQ(MoveToDriveOf("C:\\Program Files\\NimbraPost\\Data", "D:\\NimbraPost\\"),
            "D:\\Program Files\\NimbraPost\\Data");
}

TEST(PathText, FileNameParts) {
  EXPECT_EQ(ExtractFilePath("C:\\a\\b.txt"), "C:\\a\\");
  EXPECT_EQ(ExtractFileName("C:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(ExtractFileName("C:b.txt"), "b.txt");
  EXPECT_EQ(ExtractFilePath("b.txt"), "");
  EXPECT_EQ(ExtractFileDir("C:\\A\\B.EXE"), "C:\\A");
  EXPECT_EQ(ExtractFileDir("C:\\B.EXE"), "C:\\");
  EXPECT_EQ(ExtractFileDir("B.EXE"), "");
  EXPECT_EQ(JoinWindowsPath("C:\\Prog", "WS.INI"), "C:\\Prog\\WS.INI");
}

TEST(PathText, AnsiNamesRoundTripThroughHostNames) {
  const std::string ansi = "Jos\xE9 \x80.txt";  // e acute, euro sign
  const std::string host = AnsiToHostName(ansi);
  EXPECT_EQ(host, "Jos\xC3\xA9 \xE2\x82\xAC.txt");
  EXPECT_EQ(HostNameToAnsi(host), ansi);
  // Bytes that are not UTF-8 stay as they are.
  EXPECT_EQ(HostNameToAnsi("a\xFF"), "a\xFF");
}

class MachinePaths : public ::testing::Test {
 protected:
  TestMachine m;
};

TEST_F(MachinePaths, FullPathResolvesRelativePartsWithoutTouchingTheProcess) {
  const auto cwd = std::filesystem::current_path();
  EXPECT_EQ(m->FullPath("c:/Program Files/./x/../y\\"), "C:\\Program Files\\y");
  EXPECT_EQ(m->FullPath("C:\\..\\.."), "C:\\");
  ASSERT_TRUE(m->SetCurrentDirectory("C:\\Program Files"));
  EXPECT_EQ(m->FullPath("NimbraPost\\WS.INI"), "C:\\Program Files\\NimbraPost\\WS.INI");
  EXPECT_EQ(m->FullPath("\\windows"), "C:\\windows");
  EXPECT_EQ(m->FullPath("C:sub"), "C:\\Program Files\\sub");
  EXPECT_EQ(m->FullPath("D:sub"), "D:\\sub");
  EXPECT_EQ(m->FullPath("file.txt. "), "C:\\Program Files\\file.txt");
  EXPECT_EQ(std::filesystem::current_path(), cwd);
  EXPECT_FALSE(m->SetCurrentDirectory("C:\\missing"));
  // Forms the machine does not resolve.
  EXPECT_EQ(m->FullPath("\\\\server\\share\\x"), "");
  EXPECT_EQ(m->FullPath("C:\\a*b"), "");
  EXPECT_EQ(m->FullPath("1:\\x"), "");
}

TEST_F(MachinePaths, NamesDifferingOnlyInCaseAreOneFile) {
  m.PutFile("C:\\Data\\MYKeys.DAT", "keys");
  EXPECT_TRUE(m->FileExists("C:\\DATA\\MYKEYS.DAT"));
  EXPECT_EQ(m.ReadFile("c:\\data\\mykeys.dat"), "keys");
  m->WriteFile("C:\\data\\MYKEYS.DAT", "new");
  EXPECT_EQ(m->ListDirectory("C:\\Data").size(), 1u);
  EXPECT_EQ(m->ListDirectory("C:\\Data")[0].name, "MYKeys.DAT");
  EXPECT_EQ(m.ReadFile("C:\\Data\\MYKeys.DAT"), "new");
}

TEST_F(MachinePaths, NewNamesKeepTheirCaseBelowExistingFolders) {
  ASSERT_TRUE(m->ForceDirectories("c:\\PROGRAM FILES\\NimbraPost\\Data"));
  const auto host = m->HostPath("C:\\program files\\NimbraPost\\Data");
  ASSERT_TRUE(host);
  EXPECT_EQ(*host, m.Root() / "drive_c" / "Program Files" / "NimbraPost" / "Data");
}

TEST_F(MachinePaths, HostAndWindowsPathsRoundTrip) {
  m.PutFile("C:\\Program Files\\Nimbra Post\\Jos\xE9.ini", "x");
  const auto host = m->HostPath("C:\\program files\\nimbra post\\JOS\xC9.INI");
  ASSERT_TRUE(host);
  EXPECT_EQ(m->WindowsPath(*host), "C:\\Program Files\\Nimbra Post\\Jos\xE9.ini");
  EXPECT_EQ(m->WindowsPath(m.Root() / "drive_c"), "C:\\");
  const auto d = m.AddDrive('D', DriveType::CdRom);
  EXPECT_EQ(m->WindowsPath(d / "SETUP"), "D:\\SETUP");
  EXPECT_FALSE(m->WindowsPath(m.Root() / "system.reg"));
  EXPECT_FALSE(m->HostPath("Q:\\x"));
}

TEST_F(MachinePaths, AFileInThePathIsNotAFolder) {
  m.PutFile("C:\\x.txt", "x");
  EXPECT_FALSE(m->FileExists("C:\\x.txt\\y"));
  EXPECT_FALSE(m->ForceDirectories("C:\\x.txt\\y"));
}

}  // namespace
}  // namespace nimbra::platform
