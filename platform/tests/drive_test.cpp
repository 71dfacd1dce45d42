#include "platform/files/drive.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/registry/registry.h"
#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

TEST(DriveText, LabelsAndSerialsAsWineReadsThem) {
  EXPECT_EQ(LabelFromFileText("MY LABEL  \r\n"), "MY LABEL");
  EXPECT_EQ(LabelFromFileText(std::string(300, 'x')).size(), 255u);
  EXPECT_EQ(SerialFromFileText("  1234abcd\n"), 0x1234ABCDu);
  EXPECT_EQ(SerialFromFileText("0"), std::nullopt);
  EXPECT_EQ(SerialFromFileText("zz"), std::nullopt);
  EXPECT_EQ(DriveTypeFromRegistryName("CDROM"), DriveType::CdRom);
  EXPECT_EQ(DriveTypeFromRegistryName("tape"), std::nullopt);
  EXPECT_EQ(DefaultDriveType('a'), DriveType::Removable);
  EXPECT_EQ(DefaultDriveType('E'), DriveType::Fixed);
}

class Drives : public ::testing::Test {
 protected:
  TestMachine m;
};

TEST_F(Drives, TypesComeFromTheRegistryAndTheLinks) {
  m.AddDrive('A', DriveType::Removable);
  m.AddDrive('D', DriveType::CdRom, "NIMBRA40");
  m.AddDrive('N', DriveType::Remote, "", "\\\\server\\mail");
  EXPECT_EQ(m->DriveRoots(), (std::vector<std::string>{"A:\\", "C:\\", "D:\\", "N:\\"}));
  EXPECT_EQ(m->GetDriveType("C:\\"), DriveType::Fixed);
  EXPECT_EQ(m->GetDriveType("a:\\"), DriveType::Removable);
  EXPECT_EQ(m->GetDriveType("D:"), DriveType::CdRom);
  EXPECT_EQ(m->GetDriveType("N:\\"), DriveType::Remote);
  EXPECT_EQ(m->GetDriveType("Q:\\"), DriveType::NoRootDir);
  EXPECT_EQ(m->GetDriveType("??"), DriveType::NoRootDir);
  // Wine's own spelling in system.reg, and a drive the registry says nothing of.
  const std::string text = m->Reg().HiveText(RootKey::LocalMachine);
  EXPECT_NE(text.find("\"d:\"=\"cdrom\""), std::string::npos);
  EXPECT_NE(text.find("\"n:\"=\"network\""), std::string::npos);
  std::filesystem::create_directory_symlink(m.Root() / "drive_c", m.Root() / "dosdevices" / "e:");
  EXPECT_EQ(m->GetDriveType("E:\\"), DriveType::Fixed);
}

TEST_F(Drives, VolumeInformationAndNetworkNames) {
  m.AddDrive('D', DriveType::CdRom, "NIMBRA40");
  const auto n = m.AddDrive('N', DriveType::Remote, "", "\\\\server\\mail");
  m.AddDrive('M', DriveType::Remote);
  const auto d = m->GetVolumeInformation("D:\\");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->label, "NIMBRA40");
  EXPECT_EQ(d->serial, 0x44000000u);
  EXPECT_EQ(d->file_system, "CDFS");
  std::ofstream(n / ".windows-serial") << "1234ABCD\n";
  EXPECT_EQ(m->GetVolumeInformation("N:\\")->serial, 0x1234ABCDu);
  EXPECT_EQ(m->GetVolumeInformation("C:\\")->label, "");
  // Only "X:\" is a root; a missing drive folder is a drive not ready.
  EXPECT_FALSE(m->GetVolumeInformation("D:"));
  EXPECT_FALSE(m->GetVolumeInformation("D:\\SETUP\\"));
  std::filesystem::remove_all(m.Root() / "drive_d");
  EXPECT_EQ(m->GetDriveType("D:\\"), DriveType::CdRom);
  EXPECT_FALSE(m->GetVolumeInformation("D:\\"));

  EXPECT_EQ(m->GetNetworkConnection("N:"), "\\\\server\\mail");
  EXPECT_FALSE(m->GetNetworkConnection("M:"));
  EXPECT_FALSE(m->GetNetworkConnection("C:"));
  ASSERT_TRUE(m->SetVolumeLabel("C:\\", "SYSTEM"));
  EXPECT_EQ(m->GetVolumeInformation("C:\\")->label, "SYSTEM");
}

TEST_F(Drives, DrivesSurviveReopeningAndCanBeRemoved) {
  m.AddDrive('N', DriveType::Remote, "", "\\\\server\\mail");
  {
    Machine again = Machine::Open(m.Root());
    EXPECT_EQ(again.GetDriveType("N:\\"), DriveType::Remote);
    EXPECT_EQ(again.GetNetworkConnection("N:"), "\\\\server\\mail");
  }
  EXPECT_TRUE(m->RemoveDrive('n'));
  EXPECT_EQ(m->GetDriveType("N:\\"), DriveType::NoRootDir);
  EXPECT_FALSE(m->Reg().KeyExists(RootKey::CurrentUser, "Network\\N"));
  EXPECT_FALSE(m->RemoveDrive('N'));
  EXPECT_THROW(m->AddDrive('1', m.Root() / "x", DriveType::Fixed), MachineError);
  EXPECT_THROW(m->AddDrive('X', m.Root() / "x", DriveType::NoRootDir), MachineError);
}

TEST_F(Drives, FreeSpaceOfAnExistingDrive) {
  const auto space = m->GetDiskFreeSpace("C:\\");
  ASSERT_TRUE(space);
  EXPECT_GT(space->total_bytes, 0u);
  EXPECT_LE(space->free_bytes, space->total_bytes);
  EXPECT_FALSE(m->GetDiskFreeSpace("Q:\\"));
}

}  // namespace
}  // namespace nimbra::platform
