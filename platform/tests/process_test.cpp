#include "platform/processes/process.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

class ProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.PutFile("C:\\PROGRA~1\\NIMBRA~1\\NIMBRA.EXE", "MZ");
    machine_.PutFile("C:\\Program Files\\NimbraPost\\Peruse.exe", "MZ");
    machine_.PutFile("C:\\WINDOWS\\SYSTEM\\regsvr32.exe", "MZ");
    machine_.AddDrive('D', DriveType::CdRom, "NIMBRA40");
    machine_.PutFile("D:\\SETUP\\setup.exe", "MZ");
    SearchPath search;
    search.program_dir = "D:\\SETUP";
    search.current_dir = "D:\\SETUP";
    search.system_dir = "C:\\WINDOWS\\SYSTEM";
    search.windows_dir = "C:\\WINDOWS";
    processes_ = std::make_unique<Processes>(machine_.Root(), ResolverFor(*machine_), search);
  }
  TestMachine machine_;
  std::unique_ptr<Processes> processes_;
};

TEST_F(ProcessesTest, EachStartIsJournalledWithItsFields) {
  auto before = std::chrono::system_clock::now() - std::chrono::seconds(1);
  EXPECT_TRUE(
      processes_
          ->CreateProcess({}, "C:\\PROGRA~1\\NIMBRA~1\\NIMBRA.EXE", ShowWindow::ShowNormal, false)
          .Started());
  EXPECT_TRUE(processes_
                  ->CreateProcess({}, "\"C:\\Program Files\\NimbraPost\\Peruse.exe\" DIST Ann\tx%1",
                                  ShowWindow::ShowMinimized, true)
                  .Started());
  // Unquoted path with blanks: Windows tries the shorter prefixes first.
  EXPECT_TRUE(processes_
                  ->CreateProcess({}, "C:\\Program Files\\NimbraPost\\Peruse.exe  CKX \"a b\"",
                                  ShowWindow::Hide, false, "C:\\WINDOWS")
                  .Started());
  // Bare names are searched for, ".exe" added.
  EXPECT_GT(processes_->WinExec("regsvr32 /s C:\\WINDOWS\\SYSTEM\\NIMBRAOCX.OCX", ShowWindow::Hide),
            31u);

  std::vector<ProcessJournalEntry> journal = processes_->Journal().Entries();
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[0].program, "C:\\PROGRA~1\\NIMBRA~1\\NIMBRA.EXE");
  EXPECT_EQ(journal[0].arguments, "");
  EXPECT_EQ(journal[0].current_directory, "D:\\SETUP");
  EXPECT_EQ(journal[0].show, ShowWindow::ShowNormal);
  EXPECT_FALSE(journal[0].wait);
  EXPECT_TRUE(journal[0].Started());
  EXPECT_GE(journal[0].time, before);
  EXPECT_EQ(journal[1].program, "C:\\Program Files\\NimbraPost\\Peruse.exe");
  EXPECT_EQ(journal[1].arguments, "DIST Ann\tx%1");  // tab and percent survive
  EXPECT_EQ(journal[1].show, ShowWindow::ShowMinimized);
  EXPECT_TRUE(journal[1].wait);
  EXPECT_EQ(journal[2].program, "C:\\Program Files\\NimbraPost\\Peruse.exe");
  EXPECT_EQ(journal[2].arguments, "CKX \"a b\"");
  EXPECT_EQ(journal[2].current_directory, "C:\\WINDOWS");
  EXPECT_EQ(journal[3].program, "C:\\WINDOWS\\SYSTEM\\regsvr32.exe");
  EXPECT_EQ(journal[3].arguments, "/s C:\\WINDOWS\\SYSTEM\\NIMBRAOCX.OCX");
  EXPECT_EQ(journal[3].show, ShowWindow::Hide);

  // The file itself: a comment naming the columns, then one line per start.
  std::ifstream file(processes_->Journal().Path());
  std::string header, names, first;
  std::getline(file, header);
  std::getline(file, names);
  std::getline(file, first);
  EXPECT_EQ(header[0], '#');
  EXPECT_EQ(names, "# time\tprogram\targuments\tdirectory\tshow\twait\tresult");
  EXPECT_NE(
      first.find(
          "\tC:\\PROGRA~1\\NIMBRA~1\\NIMBRA.EXE\t\tD:\\SETUP\tSW_SHOWNORMAL\tnowait\tstarted"),
      std::string::npos);
}

TEST_F(ProcessesTest, MissingProgramsCannotBeStartedAndAreJournalledAsFailures) {
  ProcessResult missing = processes_->CreateProcess({}, "C:\\PROGRA~1\\NIMBRA~1\\NIMBRAQUE.EXE -x",
                                                    ShowWindow::ShowNormal, true);
  EXPECT_FALSE(missing.Started());
  EXPECT_EQ(missing.error, kErrorFileNotFound);
  EXPECT_EQ(processes_->CreateProcess({}, "C:\\NoSuchDir\\a.exe", ShowWindow::Hide, false).error,
            kErrorPathNotFound);
  EXPECT_EQ(processes_->WinExec("net start \"NimbraPost Root Service\"", ShowWindow::Hide),
            kErrorFileNotFound);
  std::vector<ProcessJournalEntry> journal = processes_->Journal().Entries();
  ASSERT_EQ(journal.size(), 3u);
  EXPECT_EQ(journal[0].program, "C:\\PROGRA~1\\NIMBRA~1\\NIMBRAQUE.EXE");
  EXPECT_EQ(journal[0].arguments, "-x");
  EXPECT_EQ(journal[0].error, kErrorFileNotFound);
  EXPECT_EQ(journal[1].error, kErrorPathNotFound);
  EXPECT_EQ(journal[2].program, "net");
}

TEST_F(ProcessesTest, WaitingGivesTheTableExitCodeAndHooksActForSystemTools) {
  EXPECT_EQ(processes_->CreateProcess({}, "D:\\SETUP\\setup.exe UNI", ShowWindow::ShowNormal, true)
                .exit_code,
            0u);
  processes_->SetExitCode("SETUP.EXE", 5);
  processes_->SetExitCode("C:\\Program Files\\NimbraPost\\Peruse.exe", 7);
  EXPECT_EQ(
      processes_->CreateProcess({}, "d:\\setup\\SETUP.exe", ShowWindow::ShowNormal, true).exit_code,
      5u);
  EXPECT_EQ(processes_
                ->CreateProcess("C:\\Program Files\\NimbraPost\\Peruse.exe", "DIST",
                                ShowWindow::ShowNormal, true)
                .exit_code,
            7u);
  processes_->SetExitCode("setup.exe", 9);  // replaces the earlier entry
  EXPECT_EQ(processes_->ExitCodeOf("D:\\SETUP\\setup.exe"), 9u);

  std::vector<ProcessStart> seen;
  processes_->SetHook("NET.EXE", [&](const ProcessStart& start) {
    seen.push_back(start);
    return 2u;
  });
  ProcessResult net = processes_->CreateProcess({}, "net start \"NimbraPost Root Service\"",
                                                ShowWindow::Hide, true);
  EXPECT_TRUE(net.Started());
  EXPECT_EQ(net.exit_code, 2u);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].program, "C:\\WINDOWS\\SYSTEM\\net.exe");
  EXPECT_EQ(seen[0].arguments, "start \"NimbraPost Root Service\"");
}

TEST(TableFile, FieldsSurviveAnyTextAndHandWrittenLinesAreRead) {
  for (const std::string& text : std::vector<std::string>{"", "plain", "50%", "tab\there",
                                                          "cr\r\nlf", std::string("nul\0x", 5)}) {
    EXPECT_EQ(TableFile::DecodeField(TableFile::EncodeField(text)), text);
    EXPECT_EQ(TableFile::EncodeField(text).find_first_of("\t\r\n"), std::string::npos);
  }
  EXPECT_EQ(TableFile::DecodeField("100% sure %4"), "100% sure %4");
  TestMachine machine;
  std::filesystem::path path = EmulationFolder(machine.Root()) / "t.txt";
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << "# comment\r\n\r\na\tb\r\nsingle\n";
  TableFile table(path, {"head"});
  EXPECT_EQ(table.Read(), (std::vector<TableFile::Row>{{"a", "b"}, {"single"}}));
  table.Update([](std::vector<TableFile::Row>& rows) {
    rows.erase(rows.begin());
    rows.push_back({"#not a comment", ""});  // a leading '#' must not turn a row into a comment
    return true;
  });
  EXPECT_EQ(table.Read(), (std::vector<TableFile::Row>{{"single"}, {"#not a comment", ""}}));
}

}  // namespace
}  // namespace nimbra::platform
