// Faults injected into the one file writer: a failing write, a full disk, a
// failing flush or rename leave every registry, profile and process-table
// file as it was, and no temporary file; a writer killed before its rename
// leaves the old file, and its temporary file is gone after the next write.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "platform/files/atomic_file.h"
#include "platform/processes/process_table_file.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/registry.h"
#include "testsupport/temp_folder.h"
#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

namespace fs = std::filesystem;
using testsupport::ReadText;
using testsupport::TempFolder;
using testsupport::WriteText;

// Names in the folder other than the given ones.
std::vector<std::string> OtherEntries(const fs::path& folder, std::vector<std::string> known) {
  std::vector<std::string> others;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
  }
  return others;
}

struct Fault {
  WriteFault fault;
  const char* name;
  friend void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }
};

class WriteFaults : public ::testing::TestWithParam<Fault> {
 protected:
  void TearDown() override { InjectWriteFault(WriteFault::kNone); }
};

TEST_P(WriteFaults, RegistryHivesStayOneGenerationAndTheChangesAreKept) {
  TempFolder folder;
  Registry registry(folder.Path());
  registry.OpenKey(RootKey::LocalMachine, "Software\\A", true)->WriteString("v", "old");
  registry.OpenKey(RootKey::CurrentUser, "Software\\A", true)->WriteString("v", "old");
  registry.Flush();
  const std::string system_old = ReadText(folder / "system.reg");
  const std::string user_old = ReadText(folder / "user.reg");

  // The first, then the second of the replacements of a two-hive commit fails.
  for (int skip : {0, 1}) {
    registry.OpenKey(RootKey::LocalMachine, "Software\\A", true)->WriteString("v", "new");
    registry.OpenKey(RootKey::CurrentUser, "Software\\A", true)->WriteString("v", "new");
    InjectWriteFault(GetParam().fault, skip);
    EXPECT_THROW(registry.Flush(), ERegistryException) << "skip " << skip;
    EXPECT_TRUE(registry.Modified());
    if (GetParam().fault == WriteFault::kRenameError && skip == 1) {
      // The first hive was replaced: the next reader completes the commit.
      Registry next(folder.Path());
      EXPECT_EQ(next.OpenKey(RootKey::CurrentUser, "Software\\A", false)->ReadString("v"), "new");
      EXPECT_EQ(next.OpenKey(RootKey::LocalMachine, "Software\\A", false)->ReadString("v"), "new");
    } else {
      EXPECT_EQ(ReadText(folder / "system.reg"), system_old) << "skip " << skip;
      EXPECT_EQ(ReadText(folder / "user.reg"), user_old) << "skip " << skip;
    }
    EXPECT_EQ(OtherEntries(folder.Path(), {"system.reg", "user.reg"}), std::vector<std::string>{})
        << "skip " << skip;
  }
  registry.Flush();
  Registry reread(folder.Path());
  EXPECT_EQ(reread.OpenKey(RootKey::CurrentUser, "Software\\A", false)->ReadString("v"), "new");
  EXPECT_EQ(reread.OpenKey(RootKey::LocalMachine, "Software\\A", false)->ReadString("v"), "new");
}

TEST_P(WriteFaults, ProfileFileKeepsItsTextAndReadsTheOldValue) {
  TempFolder folder;
  const std::string old_text = "; kept\r\n[WorkStation]\r\nINSTALLED=Old\r\n";
  WriteText(folder / "WS.INI", old_text);
  ProfileFile ini(folder / "WS.INI");
  InjectWriteFault(GetParam().fault);
  EXPECT_THROW(ini.WriteString("WorkStation", "INSTALLED", "New"), ProfileError);
  EXPECT_EQ(ReadText(folder / "WS.INI"), old_text);
  EXPECT_EQ(ini.ReadString("WorkStation", "INSTALLED", ""), "Old");
  EXPECT_EQ(OtherEntries(folder.Path(), {"WS.INI"}), std::vector<std::string>{});

  // A batch that fails to save leaves the file as it was too.
  {
    ProfileBatch batch(ini);
    ini.WriteString("WorkStation", "INSTALLED", "New");
    ini.WriteString("Other", "k", "v");
    InjectWriteFault(GetParam().fault);
    EXPECT_THROW(batch.Commit(), ProfileError);
  }
  EXPECT_EQ(ReadText(folder / "WS.INI"), old_text);
}

TEST_P(WriteFaults, ProcessTableKeepsItsRows) {
  TestMachine machine;
  TableFile table(EmulationFolder(machine.Root()) / "windows.txt", {"windows"});
  table.Append({"NimbraPost Auto Setup", "TForm1"});
  const std::string old_text = ReadText(table.Path());
  InjectWriteFault(GetParam().fault);
  EXPECT_THROW(table.Update([](std::vector<TableFile::Row>& rows) {
    rows.clear();
    return true;
  }),
               PlatformError);
  EXPECT_EQ(ReadText(table.Path()), old_text);
  EXPECT_EQ(table.Read().size(), 1u);
  EXPECT_EQ(OtherEntries(table.Path().parent_path(), {"windows.txt", "windows.txt.lock"}),
            std::vector<std::string>{});
}

TEST_P(WriteFaults, MachineFilesAndCopiesKeepTheOldContent) {
  TestMachine machine;
  machine.PutFile("C:\\Data\\a.txt", "old");
  machine.PutFile("C:\\Data\\b.txt", "source");
  InjectWriteFault(GetParam().fault);
  EXPECT_THROW(machine->WriteFile("C:\\Data\\a.txt", "new content"), FileError);
  InjectWriteFault(GetParam().fault);
  EXPECT_FALSE(machine->CopyFile("C:\\Data\\b.txt", "C:\\Data\\a.txt", false));
  EXPECT_EQ(machine.ReadFile("C:\\Data\\a.txt"), "old");
  EXPECT_EQ(OtherEntries(*machine->HostPath("C:\\Data"), {"a.txt", "b.txt"}),
            std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(EveryFault, WriteFaults,
                         ::testing::Values(Fault{WriteFault::kWriteError, "WriteError"},
                                           Fault{WriteFault::kDiskFull, "DiskFull"},
                                           Fault{WriteFault::kFlushError, "FlushError"},
                                           Fault{WriteFault::kRenameError, "RenameError"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs `write` in a child process that is killed just before its rename.
void WriteAndDie(const std::function<void()>& write) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InjectWriteFault(WriteFault::kKilled);
    try {
      write();
    } catch (...) {
    }
    ::_exit(0);  // not reached when the fault kills the process
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

TEST(KilledWriter, LeavesTheOldFileAndItsTemporaryFileGoesAtTheNextWrite) {
  TempFolder folder;
  {
    Registry registry(folder.Path());
    registry.OpenKey(RootKey::CurrentUser, "A", true)->WriteString("v", "old");
    registry.Flush();
  }
  WriteText(folder / "WS.INI", "[S]\r\nk=old\r\n");
  TableFile table(folder / "services.txt", {"services"});
  table.Append({"svc", "running"});
  const std::string user_old = ReadText(folder / "user.reg");
  const std::string table_old = ReadText(table.Path());

  WriteAndDie([&] {
    Registry registry(folder.Path());
    registry.OpenKey(RootKey::CurrentUser, "A", true)->WriteString("v", "new");
    registry.Flush();
  });
  WriteAndDie([&] { ProfileFile(folder / "WS.INI").WriteString("S", "k", "new"); });
  WriteAndDie([&] { table.Update([](std::vector<TableFile::Row>&) { return true; }); });
  const std::vector<std::string> files = {"system.reg", "user.reg", "WS.INI", "services.txt",
                                          "services.txt.lock"};
  EXPECT_EQ(OtherEntries(folder.Path(), files).size(), 3u);  // one temporary file per writer
  EXPECT_EQ(ReadText(folder / "user.reg"), user_old);
  EXPECT_EQ(ReadText(folder / "WS.INI"), "[S]\r\nk=old\r\n");
  EXPECT_EQ(ReadText(table.Path()), table_old);

  {
    Registry registry(folder.Path());
    registry.OpenKey(RootKey::CurrentUser, "A", true)->WriteString("v", "new");
    registry.Flush();
  }
  ProfileFile(folder / "WS.INI").WriteString("S", "k", "new");
  table.Update([](std::vector<TableFile::Row>&) { return true; });
  EXPECT_EQ(OtherEntries(folder.Path(), files), std::vector<std::string>{});
  EXPECT_EQ(ProfileFile(folder / "WS.INI").ReadString("S", "k", ""), "new");
}

TEST(KilledWriter, TemporaryFileOfARunningWriterStays) {
  TempFolder folder;
  WriteText(folder / "WS.INI", "[S]\r\n");
  // A process that is still running owns this one.
  const pid_t sleeper = ::fork();
  ASSERT_GE(sleeper, 0);
  if (sleeper == 0) {
    ::pause();
    ::_exit(0);
  }
  const std::string running = "WS.INI.~" + std::to_string(sleeper) + ".0.tmp";
  WriteText(folder / running, "partial");
  // Names that only look alike belong to nobody's scheme.
  WriteText(folder / "WS.INI.~x.0.tmp", "");
  WriteText(folder / "OTHER.INI.~999999999.0.tmp", "");
  ProfileFile(folder / "WS.INI").WriteString("S", "k", "v");
  ::kill(sleeper, SIGKILL);
  ::waitpid(sleeper, nullptr, 0);
  EXPECT_TRUE(fs::exists(folder / running));
  EXPECT_TRUE(fs::exists(folder / "WS.INI.~x.0.tmp"));
  EXPECT_TRUE(fs::exists(folder / "OTHER.INI.~999999999.0.tmp"));
  ProfileFile(folder / "WS.INI").WriteString("S", "k", "w");  // its writer is gone now
  EXPECT_FALSE(fs::exists(folder / running));
}

}  // namespace
}  // namespace nimbra::platform
