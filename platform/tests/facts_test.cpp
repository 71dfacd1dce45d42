#include <gtest/gtest.h>

#include "platform/machine_values.h"
#include "platform/registry/registry.h"
#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

TEST(Facts, AnNtMachine) {
  TestMachine m;
  EXPECT_TRUE(m->IsNT());
  EXPECT_EQ(m->WindowsDirectory(), "C:\\windows");
  EXPECT_EQ(m->SystemDirectory(), "C:\\windows\\system32");
  EXPECT_TRUE(m->DirectoryExists(m->SystemDirectory()));
  EXPECT_EQ(m->HostsFilePath(), "C:\\windows\\System32\\drivers\\etc\\hosts");
  EXPECT_EQ(m.ReadFile(m->HostsFilePath()), "# 127.0.0.1 localhost\r\n");
  EXPECT_EQ(m->UserName(), "tester");
  EXPECT_EQ(m->ComputerName(), "TESTPC");
  EXPECT_EQ(m->DateSeparator(), "/");
  const auto key = m->Reg().OpenKey(
      RootKey::LocalMachine,
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false);
  ASSERT_TRUE(key);
  const std::string programs = key->ReadString("Common Programs");
  EXPECT_TRUE(m->DirectoryExists(programs)) << programs;
}

TEST(Facts, ARegistryThatCannotBeReadIsNotTakenForAnEmptyOne) {
  TestMachine m;
  EXPECT_EQ(ReadRegString(m->Reg(), RootKey::CurrentUser, "Software\\Missing", "v"), std::nullopt);
  std::filesystem::remove(m.Root() / "user.reg");
  std::filesystem::create_directory(m.Root() / "user.reg");  // opens, but reads fail
  Machine again = Machine::Open(m.Root());
  EXPECT_THROW(ReadRegString(again.Reg(), RootKey::CurrentUser, "Software\\Missing", "v"),
               ERegistryException);
}

TEST(Facts, AWindows9xMachine) {
  MachineOptions options;
  options.kind = WindowsKind::Win9x;
  options.user_name = "Jo";
  TestMachine m(options);
  EXPECT_FALSE(m->IsNT());
  EXPECT_EQ(m->WindowsDirectory(), "C:\\WINDOWS");
  EXPECT_EQ(m->SystemDirectory(), "C:\\WINDOWS\\SYSTEM");
  EXPECT_EQ(m->HostsFilePath(), "C:\\WINDOWS\\hosts");
  EXPECT_EQ(m->UserName(), "Jo");
  const auto key = m->Reg().OpenKey(
      RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      false);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("Programs"), "C:\\WINDOWS\\Start Menu\\Programs");
  EXPECT_TRUE(m->DirectoryExists("C:\\WINDOWS\\Start Menu\\Programs\\Startup"));
}

TEST(Facts, HostsFolderFromTheTcpipParameters) {
  TestMachine m;
  const char* key = "HKLM\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters";
  m.SetExpandString(key, "DataBasePath", "D:\\etc\\");
  EXPECT_EQ(m->HostsFilePath(), "D:\\etc\\hosts");
  m.SetExpandString(key, "DataBasePath", "%systemroot%\\etc");
  EXPECT_EQ(m->HostsFilePath(), "C:\\windows\\etc\\hosts");
  m.SetString("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "E:\\WINNT\\");
  EXPECT_EQ(m->HostsFilePath(), "E:\\WINNT\\etc\\hosts");
  EXPECT_EQ(m->SystemDirectory(), "E:\\WINNT\\system32");
}

TEST(Facts, SeparatorAddressesAndClock) {
  TestMachine m;
  m.SetString("HKCU\\Control Panel\\International", "sDate", ".");
  EXPECT_EQ(m->DateSeparator(), ".");
  m.SetString("HKCU\\Control Panel\\International", "sDate", "");
  EXPECT_EQ(m->DateSeparator(), "/");

  const auto host = m->IpAddresses();
  ASSERT_FALSE(host.empty());
  EXPECT_EQ(host[0], "127.0.0.1");
  const char* key = "HKLM\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters";
  m.SetMultiString(key, "IPAddress", {"192.0.2.7", "0.0.0.0", "198.51.100.2"});
  EXPECT_EQ(m->IpAddresses(), (std::vector<std::string>{"192.0.2.7", "198.51.100.2"}));
  m.SetString(key, "IPAddress", "192.0.2.9 192.0.2.10");
  EXPECT_EQ(m->IpAddresses(), (std::vector<std::string>{"192.0.2.9", "192.0.2.10"}));

  const auto fixed = std::chrono::system_clock::time_point(std::chrono::seconds(946684800));
  m->SetFixedNow(fixed);
  EXPECT_EQ(m->Now(), fixed);
  m->SetFixedNow(std::nullopt);
  EXPECT_GT(m->Now(), fixed);
}

TEST(Facts, CreatingOverAnExistingMachineFails) {
  TestMachine m;
  EXPECT_THROW(Machine::Create(m.Root()), MachineError);
  EXPECT_THROW(Machine::Open(m.Root() / "drive_c"), MachineError);
  Machine again = Machine::Open(m.Root());
  EXPECT_EQ(again.UserName(), "tester");
}

}  // namespace
}  // namespace nimbra::platform
