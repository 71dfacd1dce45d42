// Crash safety of saving: a process killed at any moment while it saves
// leaves the old or the new file, never a truncated one.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry/registry.h"
#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

using testsupport::ReadText;
using testsupport::TempFolder;

// Fills HKLM with enough keys that one save takes a noticeable time.
void Fill(Registry& registry) {
  for (int i = 0; i < 3000; ++i) {
    registry.OpenKey(RootKey::LocalMachine, "Software\\Bulk\\Key" + std::to_string(i), true)
        ->WriteString("text", std::string(40, 'x'));
  }
}

void SetGeneration(Registry& registry, int generation) {
  for (const char* name : {"Software\\Bulk\\Key0", "Software\\Bulk\\Key2999"}) {
    registry.OpenKey(RootKey::LocalMachine, name, false)->WriteInteger("generation", generation);
  }
}

TEST(RegistrySave, KilledWhileSavingLeavesAWholeFile) {
  TempFolder folder;
  {
    Registry registry(folder.Path());
    Fill(registry);
    SetGeneration(registry, 0);
    registry.Flush();
  }
  for (int round = 0; round < 8; ++round) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves generation after generation, telling the parent after each one.
      Registry registry(folder.Path());
      for (int generation = 1;; ++generation) {
        SetGeneration(registry, generation);
        registry.Flush();
        if (::write(ready[1], "s", 1) != 1) ::_exit(1);
      }
    }
    ::close(ready[1]);
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    // Spread the kills over the whole write / fsync / rename cycle.
    ::usleep(static_cast<useconds_t>(round * 37 % 200 * 1000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);

    Registry registry(folder.Path());
    std::optional<RegKey> first =
        registry.OpenKey(RootKey::LocalMachine, "Software\\Bulk\\Key0", false);
    std::optional<RegKey> last =
        registry.OpenKey(RootKey::LocalMachine, "Software\\Bulk\\Key2999", false);
    ASSERT_TRUE(first && last) << "round " << round;
    // A file always holds one whole generation, at least the one reported saved.
    EXPECT_EQ(first->ReadInteger("generation"), last->ReadInteger("generation"));
    EXPECT_GE(first->ReadInteger("generation"), 1);
  }
  // Only the hive and temporary files of killed writers are in the folder.
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "system.reg" || name.rfind("system.reg.", 0) == 0) << name;
  }
}

TEST(RegistrySave, SymlinkedHiveStaysALinkAndKeepsItsMode) {
  TempFolder folder;
  std::filesystem::create_directory(folder / "real");
  testsupport::WriteText(folder / "real" / "user.reg", "WINE REGISTRY Version 2\n");
  std::filesystem::permissions(folder / "real" / "user.reg", std::filesystem::perms(0640));
  std::filesystem::create_symlink("real/user.reg", folder / "user.reg");
  {
    Registry registry(folder.Path());
    registry.OpenKey(RootKey::CurrentUser, "A", true)->WriteString("v", "1");
    registry.Flush();
  }
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "user.reg"));
  EXPECT_NE(ReadText(folder / "real" / "user.reg").find("\"v\"=\"1\""), std::string::npos);
  EXPECT_EQ(std::filesystem::status(folder / "real" / "user.reg").permissions(),
            std::filesystem::perms(0640));
}

TEST(RegistrySave, FailedSaveRaisesAndKeepsTheChanges) {
  TempFolder folder;
  Registry registry(folder / "gone");  // a machine folder that vanished
  registry.OpenKey(RootKey::CurrentUser, "A", true)->WriteString("v", "1");
  try {
    registry.Flush();
    ADD_FAILURE() << "saved into a missing folder";
  } catch (const ERegistryException& e) {
    EXPECT_NE(std::string(e.what()).find("user.reg"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(registry.Modified());
  std::filesystem::create_directory(folder / "gone");
  registry.Flush();
  EXPECT_FALSE(registry.Modified());
  EXPECT_NE(ReadText(folder / "gone" / "user.reg").find("\"v\"=\"1\""), std::string::npos);
}

}  // namespace
}  // namespace nimbra::platform
