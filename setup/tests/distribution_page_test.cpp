// The distribution page: only its two buttons leave it; "Do it Now" starts
// the viewer with the distribution command line.

#include "core/strings.h"
#include "platform/processes/process_journal.h"
#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

TEST_F(WizardTest, DistributionPageIsLeftOnlyByItsButtons) {
  ScriptType(0);
  Result r = Run(std::string(kDesktopAnswers) + "[TabSheet16]\r\nPress=Next\r\n");
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.reason.find("[TabSheet16] Press=StartSTF or NoSTF"), std::string::npos) << r.reason;
  EXPECT_FALSE(wizard->Form().At("Prev").enabled);
  EXPECT_FALSE(wizard->Form().At("ExitSetup").enabled);

  UndoRun();
  r = Run(kDesktopAnswers);  // the fixture answers NoSTF
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_FALSE(wizard->Settings().Distribute);
  EXPECT_EQ(r.pages.back(), "TabSheet19");
}

TEST_F(WizardTest, DoItNowStartsTheViewerInDistributionMode) {
  ScriptType(0);
  machine.PutFile("C:\\Program Files\\NimbraPost\\peruse.exe", "viewer");
  Result r =
      Run("[TabSheet11]\r\nPrimeEmail=jane@example.com\r\n"
          "[TabSheet12]\r\nUserName=Jane\r\nNewPass=secret\r\nConfirmPass=secret\r\n"
          "[TabSheet16]\r\nPress=StartSTF\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  ASSERT_GE(r.pages.size(), 2u);
  EXPECT_TRUE(wizard->Settings().Distribute);
  EXPECT_EQ(r.pages[r.pages.size() - 2], "TabSheet17");
  bool started = false;
  for (const auto& entry : platform::ProcessJournal(machine.Root()).Entries()) {
    if (entry.arguments == "DIST Jane secret") {
      started = true;
      EXPECT_TRUE(UpperCase(entry.program).ends_with("\\PERUSE.EXE")) << entry.program;
      EXPECT_EQ(entry.show, platform::ShowWindow::ShowNormal);
    }
  }
  EXPECT_TRUE(started);
  for (const auto& line : r.log) EXPECT_EQ(line.find("secret"), std::string::npos) << line;
}

}  // namespace
}  // namespace nimbra::setup::testing
