#include "setup/copy_script.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/processes/library_search.h"
#include "platform/processes/process_journal.h"
#include "platform/processes/running_programs.h"
#include "setup/answer_ui.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"
#include "testsupport/test_machine.h"
#include "ui/event_log.h"

namespace nimbra::setup {
namespace {

TEST(CopyScriptBlocks, MarkersAreWholeLinesAndTheDatabasePartIsApart) {
  const auto lines = ScriptLines(
      "[PRODUCT]\r\nRunType=1\r\nSTART COPY\r\na.exe\r\nstart copy\r\n STOP COPY\r\nSTOP COPY\r\n"
      "outside.txt\r\n[DATABASE ONLY SCRIPT]\r\nSTART COPY\r\ndb.exe\r\nSTOP COPY\r\n"
      "NET START COPY\r\nnet.exe\n");
  // The lower-case and the indented look-alikes are file names.
  EXPECT_EQ(FilesOfBlock(lines, kProgramBlock, false),
            (std::vector<std::string>{"a.exe", "start copy", " STOP COPY"}));
  EXPECT_EQ(FilesOfBlock(lines, kProgramBlock, true), std::vector<std::string>{"db.exe"});
  // A block never closed runs to the end; it belongs to the part it opened in.
  EXPECT_EQ(FilesOfBlock(lines, kInstallerBlock, true), std::vector<std::string>{"net.exe"});
  EXPECT_TRUE(FilesOfBlock(lines, kInstallerBlock, false).empty());
  EXPECT_TRUE(FilesOfBlock(ScriptLines(""), kProgramBlock, false).empty());
}

class CopyScriptTest : public ::testing::Test {
 public:
  CopyScriptTest() {
    m.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40");
    for (const char* name : {"NimbraMGR.exe", "Shared.dll", "Net.exe", "Win.ini", "Sys.dll",
                             "Users.ini", "Help.hlp", "Db.exe", "start copy", "NimbraOCX.ocx"}) {
      m.PutFile(std::string("D:\\") + name, std::string("new ") + name);
    }
    m.PutFile("D:\\Script.txt",
              "[PRODUCT]\r\nRunType=1\r\n"
              "START COPY\r\nNimbraMGR.exe\r\nShared.dll\r\nMissing.exe\r\nstart copy\r\n"
              "STOP COPY\r\n"
              "NET START COPY\r\nNet.exe\r\nNET STOP COPY\r\n"
              "WIN START COPY\r\nWin.ini\r\nShared.dll\r\nWIN STOP COPY\r\n"
              "SYS START COPY\r\nSys.dll\r\nSYS STOP COPY\r\n"
              "PROFILE START COPY\r\nUsers.ini\r\nHelp.hlp\r\nPROFILE STOP COPY\r\n"
              "[DATABASE ONLY SCRIPT]\r\nSTART COPY\r\nDb.exe\r\nSTOP COPY\r\n"
              "SYS START COPY\r\nNimbraOCX.ocx\r\n");
  }

  void NewWizard() {
    wizard.reset();
    ui = std::make_unique<AnswerFileUi>("");
    ui->SetLog(&log);
    wizard = std::make_unique<TSetupForm>(*ui, *m, "D:\\");
    wizard->Settings().InstallType = 4;
    ui::Form& f = wizard->Form();
    f.At("SoftwareLocation").text = "C:\\Program Files\\NimbraPost\\";
    f.At("DataLocation").text = "C:\\NimbraData\\Local\\";
    f.At("SharedDataLocation").text = "C:\\NimbraData\\Shared\\";
    f.At("WSFilesLocation").text = "";
  }

  bool Has(const std::string& path) { return m->FileExists(path); }

  testsupport::TestMachine m;
  ui::EventLog log;
  std::unique_ptr<AnswerFileUi> ui;
  std::unique_ptr<TSetupForm> wizard;
};

TEST_F(CopyScriptTest, EveryPassCopiesItsBlocksToItsFolder) {
  m.PutFile("C:\\NimbraData\\Local\\Users.ini", "kept");
  NewWizard();
  wizard->MakeLocations();
  const std::string prog = "C:\\Program Files\\NimbraPost\\";
  for (const char* dir : {"Messages", "WSClient", "Temp", "Temp\\Desktop", "Logs", "Utils",
                          "Blocked", "PowerTables"}) {
    EXPECT_TRUE(m->DirectoryExists(prog + dir)) << dir;
  }
  EXPECT_TRUE(m->DirectoryExists("C:\\NimbraData\\Shared"));
  wizard->CopyFileScript();

  EXPECT_EQ(wizard->Settings().InstallerDir, prog + "WSClient\\");
  EXPECT_EQ(m.ReadFile(prog + "NimbraMGR.exe"), "new NimbraMGR.exe");
  EXPECT_TRUE(Has(prog + "Shared.dll"));
  EXPECT_TRUE(Has(prog + "start copy"));  // a file name, not a marker
  EXPECT_FALSE(Has(prog + "Db.exe"));     // the database-only part
  EXPECT_TRUE(Has(prog + "WSClient\\Net.exe"));
  EXPECT_TRUE(Has("C:\\windows\\Win.ini"));
  EXPECT_TRUE(Has("C:\\windows\\Shared.dll"));  // listed in two passes
  EXPECT_TRUE(Has("C:\\windows\\system32\\Sys.dll"));
  EXPECT_FALSE(Has("C:\\windows\\system32\\NimbraOCX.ocx"));
  // The profile pass does not overwrite, and still fills the shared folder.
  EXPECT_EQ(m.ReadFile("C:\\NimbraData\\Local\\Users.ini"), "kept");
  EXPECT_TRUE(Has("C:\\NimbraData\\Shared\\Users.ini"));
  EXPECT_TRUE(Has("C:\\NimbraData\\Local\\Help.hlp"));
  EXPECT_TRUE(Has("C:\\NimbraData\\Shared\\Help.hlp"));
  // No control library, no registration.
  platform::ProcessJournal starts(m.Root());
  EXPECT_TRUE(starts.Entries().empty());
  EXPECT_TRUE(Has(prog + "Install.jnl"));
  // The event log names each operation.
  const auto& lines = log.Lines();
  EXPECT_NE(
      std::find(lines.begin(), lines.end(), "INSTALL B 1 FOLDER C:\\Program Files\\NimbraPost\\"),
      lines.end());
}

TEST_F(CopyScriptTest, DatabaseOnlyCopiesTheSecondPartAndRegistersTheControl) {
  NewWizard();
  wizard->Settings().DatabaseOnly = true;
  wizard->Form().At("WSFilesLocation").text = "C:\\Clients\\";
  wizard->MakeLocations();
  wizard->CopyFileScript();
  const std::string prog = "C:\\Program Files\\NimbraPost\\";
  EXPECT_EQ(wizard->Settings().InstallerDir, "C:\\Clients\\");
  EXPECT_TRUE(Has(prog + "Db.exe"));
  EXPECT_FALSE(Has(prog + "NimbraMGR.exe"));
  EXPECT_FALSE(Has("C:\\windows\\system32\\Sys.dll"));
  // The unclosed system block of the second part copied the control library,
  // which then registers itself hidden.
  ASSERT_TRUE(Has("C:\\windows\\system32\\NimbraOCX.ocx"));
  platform::ProcessJournal starts(m.Root());
  ASSERT_EQ(starts.Entries().size(), 1u);
  EXPECT_NE(starts.Entries()[0].arguments.find("/s "), std::string::npos);
}

TEST_F(CopyScriptTest, AFileOfARunningProgramIsMovedAsideAndASecondRunStillSucceeds) {
  const std::string prog = "C:\\Program Files\\NimbraPost\\";
  m.PutFile(prog + "NimbraMGR.exe", "old");
  m.PutFile(prog + "Shared.dll", "old dll");
  platform::RunningPrograms(m.Root(), platform::ResolverFor(*m))
      .Start(prog + "NimbraMGR.exe", {prog + "Shared.dll"});
  NewWizard();
  wizard->MakeLocations();
  wizard->CopyFileScript();
  EXPECT_EQ(m.ReadFile(prog + "NimbraMGR.exe"), "new NimbraMGR.exe");
  EXPECT_EQ(m.ReadFile(prog + "NimbraMGR.exe.REMOVE"), "old");
  EXPECT_EQ(m.ReadFile(prog + "Shared.dll.REMOVE"), "old dll");
  // The program still holds its renamed files; the new ones are free.
  EXPECT_FALSE(m->DeleteFile(prog + "NimbraMGR.exe.REMOVE"));

  m.PutFile("D:\\NimbraMGR.exe", "newer");
  NewWizard();
  wizard->CopyFileScript();
  EXPECT_EQ(m.ReadFile(prog + "NimbraMGR.exe"), "newer");
  EXPECT_EQ(m.ReadFile(prog + "NimbraMGR.exe.REMOVE"), "old");
}

TEST_F(CopyScriptTest, AProgramFolderThatCannotBeMadeStopsALocationThatCannotIsPassedOver) {
  NewWizard();
  wizard->Form().At("SharedDataLocation").text = "Q:\\Nowhere\\";
  m.PutFile("C:\\Program Files\\NimbraPost\\Logs", "a file in the way");
  EXPECT_THROW(wizard->MakeLocations(), platform::FileError);
  EXPECT_TRUE(m->DirectoryExists("C:\\Program Files\\NimbraPost\\Temp\\Desktop"));
  EXPECT_FALSE(m->DirectoryExists("C:\\Program Files\\NimbraPost\\Utils"));
  EXPECT_EQ(wizard->Install().Journal().Lines().back().substr(0, 2), "D\t");
}

TEST_F(CopyScriptTest, MissingScriptIsAFileErrorAndASecondRunOverwrites) {
  NewWizard();
  wizard->MakeLocations();
  wizard->CopyFileScript();
  m.PutFile("D:\\NimbraMGR.exe", "newer");
  NewWizard();
  wizard->CopyFileScript();
  EXPECT_EQ(m.ReadFile("C:\\Program Files\\NimbraPost\\NimbraMGR.exe"), "newer");
  ASSERT_TRUE(m->DeleteFile("D:\\Script.txt"));
  NewWizard();
  EXPECT_THROW(wizard->CopyFileScript(), platform::FileError);
}

}  // namespace
}  // namespace nimbra::setup
