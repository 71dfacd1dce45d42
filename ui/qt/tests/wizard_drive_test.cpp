// A person installs through the real window (offscreen platform): clicks,
// typing, Enter, mouse moves over the scribble box; the machine ends as the
// unattended installation of the same answers leaves it, and the answer
// file recorded meanwhile replays the same installation.

#include "platform/files/atomic_file.h"
#include "setup/answer_ui.h"
#include "setup/unattended.h"
#include "testsupport/end_state.h"
#include "ui/qt/run_window.h"
#include "ui/qt/tests/qt_fixture.h"

namespace nimbra::uiqt::testing {
namespace {

const std::map<std::string, std::string> kBoxAnswers = {{"JoinExistingDatabase", "No"},
                                                        {"OverwriteDataFiles", "Yes"},
                                                        {"MailboxPassword", "calypso-demo"},
                                                        {"AddEmailAddress", "jo@example.com"},
                                                        {"ExitSetup", "Cancel"}};

int Unattended(const std::filesystem::path& dir, const std::string& answers) {
  platform::Machine machine = platform::Machine::Open(dir);
  setup::AnswerFileUi ui(answers);
  setup::TSetupForm wizard(ui, machine, "D:\\SETUP\\");
  wizard.windowWaitLimit = std::chrono::milliseconds(50);
  std::string reason;
  const int code = setup::RunUnattended(wizard, ui, &reason);
  if (code == ui::kExitFinished) machine.Save();
  EXPECT_EQ(code, 0) << reason;
  return code;
}

TEST(WizardDrive, AStandardInstallByAPersonEndsAsTheUnattendedOneAndItsRecordingReplays) {
  testsupport::TempFolder temp("nimbra-qt-drive");
  const auto byPerson = DemoMachineCopy(temp / "person");
  const auto unattended = DemoMachineCopy(temp / "unattended");
  const auto replayed = DemoMachineCopy(temp / "replayed");
  const auto recording = temp / "recorded.ini";

  ASSERT_EQ(Unattended(unattended, DemoAnswers()), 0);
  const std::string reference = testsupport::EndState(unattended);

  std::vector<std::string> pages;
  {
    WindowSession s(byPerson, "D:\\SETUP\\");
    s.ui.Record(std::make_unique<Recorder>(recording));
    BoxAnswerer answerer(kDemoBoxAnswers);
    ASSERT_TRUE(StartWindow(s.wizard, s.ui));
    EXPECT_EQ(s.Window().windowTitle(), "NimbraPost Auto Setup");
    EXPECT_EQ(s.Window().size(), QSize(550, 377));
    pages = DriveStandardInstall(s);
    ASSERT_TRUE(s.ui.Ended());
    ASSERT_EQ(s.ui.Ended()->code, 0) << s.ui.Ended()->reason;
    s.machine.Save();
    FinishRecording(s.wizard, s.ui);
    EXPECT_NE(
        std::find(answerer.Answered().begin(), answerer.Answered().end(), "TCalyTimeout: Enter"),
        answerer.Answered().end());
  }
  EXPECT_EQ(pages.front(), "TabSheet1");
  EXPECT_EQ(pages.back(), "TabSheet19");
  EXPECT_EQ(testsupport::EndState(byPerson), reference);

  const auto recorded = platform::ReadFileIfExists(recording);
  ASSERT_TRUE(recorded);
  EXPECT_NE(recorded->find("[TabSheet12]\r\n"), std::string::npos) << *recorded;
  EXPECT_NE(recorded->find("NewPass=demo-pass\r\n"), std::string::npos) << *recorded;
  EXPECT_NE(recorded->find("[TabSheet16]\r\nPress=NoSTF\r\n"), std::string::npos) << *recorded;
  EXPECT_NE(recorded->find("MailboxPassword=calypso-demo\r\n"), std::string::npos) << *recorded;
  EXPECT_NE(recorded->find("\r\nSamples="), std::string::npos) << *recorded;
  ASSERT_EQ(Unattended(replayed, *recorded), 0) << *recorded;
  EXPECT_EQ(testsupport::EndState(replayed), reference);
}

}  // namespace
}  // namespace nimbra::uiqt::testing
