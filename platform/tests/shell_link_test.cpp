#include "platform/links/shell_link.h"

#include <gtest/gtest.h>

#include "core/strings.h"
#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

TEST(ShellLink, SavesWhatTheShellTakesFromTheTargetAndUpdatesInPlace) {
  TestMachine m;
  m.PutFile("C:\\Program Files\\NimbraPost\\NimbraMGR.exe", std::string(1000, 'x'));
  m.PutDirectory("C:\\Programs\\NimbraPost");
  const std::string path = "C:\\Programs\\NimbraPost\\Uninstall (Keep Data).lnk";

  ShellLink link(*m);
  link.SetPath("c:\\program files\\nimbrapost\\NimbraMGR.exe");
  link.SetDescription("Uninstall (Keep Data)");
  link.SetWorkingDirectory("C:\\Program Files\\NimbraPost");
  link.SetArguments("DIS");
  link.SetIconLocation("C:\\Program Files\\NimbraPost\\NimbraMGR.exe", 1);
  link.SetShowCmd(kShowNormal);
  link.Save(path);

  ShellLink read(*m);
  read.Load(path);
  const ShellLinkFile& data = read.Data();
  EXPECT_TRUE(AnsiSameText(data.local_base_path, "C:\\Program Files\\NimbraPost\\NimbraMGR.exe"))
      << data.local_base_path;
  EXPECT_EQ(data.relative_path.substr(0, 6), "..\\..\\");
  EXPECT_TRUE(AnsiSameText(data.relative_path, "..\\..\\Program Files\\NimbraPost\\NimbraMGR.exe"));
  EXPECT_EQ(data.description, "Uninstall (Keep Data)");
  EXPECT_EQ(data.arguments, "DIS");
  EXPECT_EQ(data.icon_index, 1);
  EXPECT_EQ(data.file_size, 1000u);
  EXPECT_NE(data.write_time, 0u);
  EXPECT_EQ(data.drive_type, 3u);
  EXPECT_EQ(data.drive_serial, m->GetVolumeInformation("C:\\")->serial);

  // Load, change, save: the other fields stay.
  read.SetArguments("UNI");
  read.Save(path);
  ShellLink again(*m);
  again.Load(path);
  EXPECT_EQ(again.GetArguments(), "UNI");
  EXPECT_EQ(again.GetDescription(), "Uninstall (Keep Data)");
  EXPECT_EQ(again.GetWorkingDirectory(), "C:\\Program Files\\NimbraPost");

  EXPECT_THROW(link.Save("C:\\No Such Group\\x.lnk"), ShellLinkError);
  EXPECT_THROW(again.Load("C:\\Programs\\NimbraPost\\missing.lnk"), ShellLinkError);
  m.PutFile("C:\\Programs\\bad.lnk", "not a link");
  EXPECT_THROW(again.Load("C:\\Programs\\bad.lnk"), ShellLinkError);
}

TEST(ShellLink, RelativePathsAsTheShellWritesThem) {
  EXPECT_EQ(RelativeLinkPath("C:\\NB\\Manager.lnk", "C:\\NB\\NimbraMGR.exe"), ".\\NimbraMGR.exe");
  EXPECT_EQ(RelativeLinkPath("C:\\A\\B\\x.lnk", "c:\\a\\C\\y.exe"), "..\\C\\y.exe");
  EXPECT_EQ(RelativeLinkPath("C:\\x.lnk", "C:\\A\\y.exe"), ".\\A\\y.exe");
  EXPECT_EQ(RelativeLinkPath("C:\\A\\x.lnk", "D:\\A\\y.exe"), "");
  EXPECT_EQ(RelativeLinkPath("x.lnk", "C:\\y.exe"), "");
  EXPECT_EQ(ToFileTime(std::chrono::system_clock::from_time_t(946684800)), 0x01BF53EB256D4000ull);
}

}  // namespace
}  // namespace nimbra::platform
