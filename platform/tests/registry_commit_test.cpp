// What reaches the hive files: only what a caller commits with Flush, both
// hives or neither, merged with what other writers committed meanwhile.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files/atomic_file.h"
#include "platform/registry/registry.h"
#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadText;
using testsupport::TempFolder;
using testsupport::WriteText;

std::optional<std::string> ReadValue(Registry& registry, RootKey root, std::string_view path,
                                     std::string_view name) {
  std::optional<RegKey> key = registry.OpenKey(root, path, false);
  if (!key || !key->ValueExists(name)) return std::nullopt;
  return key->ReadString(name);
}

// Names in the folder other than the two hives.
std::vector<std::string> OtherEntries(const fs::path& folder) {
  std::vector<std::string> others;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name != "system.reg" && name != "user.reg") others.push_back(name);
  }
  return others;
}

TEST(RegistryCommit, ChangesNeverFlushedAreNotSaved) {
  TempFolder folder;
  {
    Registry registry(folder.Path());
    registry.OpenKey(RootKey::CurrentUser, "Software\\Kept", true)->WriteString("v", "1");
    registry.Flush();
    registry.OpenKey(RootKey::CurrentUser, "Software\\Dropped", true)->WriteString("v", "1");
    registry.OpenKey(RootKey::LocalMachine, "Software\\Dropped", true)->WriteString("v", "1");
  }
  Registry reread(folder.Path());
  EXPECT_EQ(ReadValue(reread, RootKey::CurrentUser, "Software\\Kept", "v"), "1");
  EXPECT_FALSE(reread.KeyExists(RootKey::CurrentUser, "Software\\Dropped"));
  EXPECT_FALSE(fs::exists(folder / "system.reg"));
}

TEST(RegistryCommit, ImportThatFailsOnTheWayChangesNothing) {
  TempFolder folder;
  // A link key without a target: nothing can be created below it.
  WriteText(folder / "user.reg",
            "WINE REGISTRY Version 2\n\n[Software\\\\Broken] 1\n#link\n\n"
            "[Software\\\\Old] 1\n\"v\"=\"old\"\n");
  const std::string before = ReadText(folder / "user.reg");
  Registry registry(folder.Path());
  EXPECT_THROW(ImportRegFile(registry,
                             "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Old]\r\n\"v\"=\"new\"\r\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\New]\r\n\"v\"=\"new\"\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Broken\\Below]\r\n\"v\"=\"x\"\r\n"),
               ERegistryException);
  EXPECT_EQ(ReadValue(registry, RootKey::CurrentUser, "Software\\Old", "v"), "old");
  EXPECT_FALSE(registry.KeyExists(RootKey::LocalMachine, "Software\\New"));
  EXPECT_FALSE(registry.Modified());
  registry.Flush();
  EXPECT_EQ(ReadText(folder / "user.reg"), before);
  EXPECT_FALSE(fs::exists(folder / "system.reg"));
}

// One import into both hives, in a child process killed (SIGKILL) just
// before the rename of its skip-th file replacement.
void ImportAndDie(const fs::path& machine, const std::string& value, int skip) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InjectWriteFault(WriteFault::kKilled, skip);
    try {
      Registry registry(machine);
      ImportRegFile(registry, "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Gen]\r\n\"v\"=\"" +
                                  value + "\"\r\n[HKEY_CURRENT_USER\\Software\\Gen]\r\n\"v\"=\"" +
                                  value + "\"\r\n");
      registry.Flush();
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
}

TEST(RegistryCommit, KilledAtAnyReplacementLeavesBothHivesOldOrBothNew) {
  for (int skip = 0; skip < 8; ++skip) {
    TempFolder folder;
    if (skip >= 4) {
      // user.reg a link to a file in another folder: its temporary file lives there.
      fs::create_directory(folder / "real");
      WriteText(folder / "real" / "user.reg", "WINE REGISTRY Version 2\n");
      fs::create_symlink("real/user.reg", folder / "user.reg");
    }
    {
      Registry registry(folder.Path());
      registry.OpenKey(RootKey::LocalMachine, "Software\\Gen", true)->WriteString("v", "old");
      registry.OpenKey(RootKey::CurrentUser, "Software\\Gen", true)->WriteString("v", "old");
      registry.Flush();
    }
    ImportAndDie(folder.Path(), "new", skip % 4);
    Registry registry(folder.Path());
    const auto machine = ReadValue(registry, RootKey::LocalMachine, "Software\\Gen", "v");
    const auto user = ReadValue(registry, RootKey::CurrentUser, "Software\\Gen", "v");
    ASSERT_TRUE(machine && user) << "skip " << skip;
    EXPECT_EQ(*machine, *user) << "skip " << skip;

    // The next commit leaves nothing of the killed one behind.
    registry.OpenKey(RootKey::CurrentUser, "Software\\Next", true)->WriteString("v", "1");
    registry.Flush();
    const std::vector<std::string> expected =
        skip >= 4 ? std::vector<std::string>{"real"} : std::vector<std::string>{};
    EXPECT_EQ(OtherEntries(folder.Path()), expected) << "skip " << skip;
    if (skip >= 4) {
      EXPECT_TRUE(fs::is_symlink(folder / "user.reg"));
      EXPECT_EQ(OtherEntries(folder / "real"), std::vector<std::string>{}) << "skip " << skip;
    }
  }
}

TEST(RegistryCommit, WritersOfOneMachineKeepEachOthersChanges) {
  TempFolder folder;
  {
    Registry registry(folder.Path());
    registry.OpenKey(RootKey::CurrentUser, "Software\\Shared", true)->WriteString("a", "0");
    registry.OpenKey(RootKey::CurrentUser, "Software\\Doomed", true)->WriteString("x", "0");
    registry.Flush();
  }
  Registry first(folder.Path());
  Registry second(folder.Path());
  // Both have read the hives before either writes.
  ASSERT_TRUE(first.KeyExists(RootKey::CurrentUser, "Software\\Shared"));
  ASSERT_TRUE(second.KeyExists(RootKey::CurrentUser, "Software\\Shared"));

  first.OpenKey(RootKey::CurrentUser, "Software\\Shared", false)->WriteString("a", "1");
  first.OpenKey(RootKey::CurrentUser, "Software\\First", true)->WriteString("v", "1");
  first.DeleteKey(RootKey::CurrentUser, "Software\\Doomed");
  second.OpenKey(RootKey::CurrentUser, "Software\\Shared", false)->WriteString("b", "2");
  RegKey mine = *second.OpenKey(RootKey::CurrentUser, "Software\\Second", true);
  mine.WriteString("v", "2");
  second.OpenKey(RootKey::LocalMachine, "Software\\Second", true)->WriteString("v", "2");
  first.Flush();
  second.Flush();

  // The second writer now sees the first one's changes, through old handles too.
  EXPECT_EQ(ReadValue(second, RootKey::CurrentUser, "Software\\First", "v"), "1");
  EXPECT_EQ(mine.ReadString("v"), "2");
  Registry reread(folder.Path());
  EXPECT_EQ(ReadValue(reread, RootKey::CurrentUser, "Software\\Shared", "a"), "1");
  EXPECT_EQ(ReadValue(reread, RootKey::CurrentUser, "Software\\Shared", "b"), "2");
  EXPECT_EQ(ReadValue(reread, RootKey::CurrentUser, "Software\\First", "v"), "1");
  EXPECT_EQ(ReadValue(reread, RootKey::CurrentUser, "Software\\Second", "v"), "2");
  EXPECT_EQ(ReadValue(reread, RootKey::LocalMachine, "Software\\Second", "v"), "2");
  EXPECT_FALSE(reread.KeyExists(RootKey::CurrentUser, "Software\\Doomed"));
}

}  // namespace
}  // namespace nimbra::platform
