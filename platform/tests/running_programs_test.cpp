#include "platform/processes/running_programs.h"

#include <gtest/gtest.h>

#include "platform/processes/library_search.h"
#include "platform/processes/window.h"
#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

class RunningProgramsTest : public ::testing::Test {
 public:
  RunningProgramsTest() {
    m.PutFile("C:\\Prog\\NimbraMGR.exe", "running");
    m.PutFile("C:\\Prog\\NimbraLib.dll", "library");
    m.PutFile("C:\\Prog\\Data\\Keys.db", "data");
  }
  RunningPrograms Running() { return RunningPrograms(m.Root(), ResolverFor(*m)); }

  testsupport::TestMachine m;
};

TEST_F(RunningProgramsTest, ARunningProgramsImageCanBeRenamedButNotReplacedOrDeleted) {
  Running().Start("C:\\Prog\\NimbraMGR.exe",
                  {"C:\\Prog\\NimbraLib.dll", "C:\\Prog\\Data\\Keys.db"});
  m.PutFile("C:\\src\\NimbraMGR.exe", "new");
  // Any spelling of the held file counts.
  EXPECT_FALSE(m->CopyFile("C:\\src\\NimbraMGR.exe", "c:\\PROG\\nimbramgr.EXE", false));
  EXPECT_FALSE(m->DeleteFile("C:\\Prog\\NimbraMGR.exe"));
  EXPECT_FALSE(m->DeleteFile("C:\\Prog\\NimbraLib.dll"));
  EXPECT_THROW(m->WriteFile("C:\\Prog\\NimbraMGR.exe", "x"), FileError);
  EXPECT_EQ(m.ReadFile("C:\\Prog\\NimbraMGR.exe"), "running");
  // An open data file cannot even be renamed.
  EXPECT_FALSE(m->MoveFile("C:\\Prog\\Data\\Keys.db", "C:\\Prog\\Data\\Keys.old"));
  // The image can; the program then holds it under its new name, and the
  // name it had is free.
  EXPECT_TRUE(m->MoveFile("C:\\Prog\\NimbraMGR.exe", "C:\\Prog\\NimbraMGR.exe.REMOVE"));
  EXPECT_TRUE(m->CopyFile("C:\\src\\NimbraMGR.exe", "C:\\Prog\\NimbraMGR.exe", false));
  EXPECT_FALSE(m->DeleteFile("C:\\Prog\\NimbraMGR.exe.REMOVE"));
  EXPECT_EQ(Running().LockOf(*m->HostPath("C:\\Prog\\NimbraMGR.exe")), FileLock::None);

  // Once the program ends every file is free.
  Running().End("c:\\prog\\NimbraMGR.exe");
  EXPECT_TRUE(m->DeleteFile("C:\\Prog\\NimbraMGR.exe.REMOVE"));
  EXPECT_TRUE(m->DeleteFile("C:\\Prog\\Data\\Keys.db"));
}

TEST_F(RunningProgramsTest, AProgramWithAWindowRunsWhileItsWindowIsOpen) {
  Windows windows(m.Root());
  const WindowHandle window = windows.Open("TNimbraMGR", "NimbraPost");
  Running().Start("C:\\Prog\\NimbraMGR.exe", {}, window);
  EXPECT_EQ(Running().LockOf(*m->HostPath("C:\\Prog\\NimbraMGR.exe")), FileLock::Image);
  EXPECT_EQ(Running().LockOf(*m->HostPath("C:\\Prog\\NimbraLib.dll")), FileLock::None);
  ASSERT_TRUE(windows.PostMessage(window, kWmClose));
  EXPECT_EQ(Running().LockOf(*m->HostPath("C:\\Prog\\NimbraMGR.exe")), FileLock::None);
  EXPECT_TRUE(m->DeleteFile("C:\\Prog\\NimbraMGR.exe"));
}

}  // namespace
}  // namespace nimbra::platform
