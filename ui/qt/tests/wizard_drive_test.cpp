// A person installs through the real window (offscreen platform): clicks,
// typing, Enter, mouse moves over the scribble box; the machine ends as the
// unattended installation of the same answers leaves it, and the answer
// file recorded meanwhile replays the same installation.

#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

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

void ClickEntry(QWidget* widget, const std::string& text) {
  auto* list = qobject_cast<QListWidget*>(widget);
  ASSERT_NE(list, nullptr);
  const auto found = list->findItems(QString::fromStdString(text), Qt::MatchExactly);
  ASSERT_FALSE(found.isEmpty()) << text;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
}

// The person's addresses: only jo@example.com, made the primary one.
void KeepOneAddress(WindowSession& s) {
  ui::Control& list = s.Form().At("EmailAddrs");
  if (list.IndexOf("jo@example.com") < 0) QTest::mouseClick(s.Widget("AddAddress"), Qt::LeftButton);
  ClickEntry(s.Widget("EmailAddrs"), "jo@example.com");
  QTest::mouseClick(s.Widget("SetDefault"), Qt::LeftButton);
  while (list.items.size() > 1) {
    const std::string other = list.items[list.items[0].text == "jo@example.com" ? 1 : 0].text;
    ClickEntry(s.Widget("EmailAddrs"), other);
    QTest::mouseClick(s.Widget("DeleteAddress"), Qt::LeftButton);
  }
  EXPECT_EQ(s.Form().At("PrimeEmail").text, "jo@example.com");
  // What the handlers did shows at once.
  EXPECT_EQ(qobject_cast<QListWidget*>(s.Widget("EmailAddrs"))->count(), 1);
  EXPECT_EQ(qobject_cast<QLineEdit*>(s.Widget("PrimeEmail"))->text(), "jo@example.com");
}

void Type(QWidget* widget, const QString& text) {
  auto* edit = qobject_cast<QLineEdit*>(widget);
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

// Moves the mouse over a widget as a person scribbles, until `done`.
int Scribble(QWidget* widget, const std::function<bool()>& done) {
  int moves = 0;
  for (; moves < 5000 && !done(); ++moves) {
    const QPointF at(5 + (moves * 7) % 280, 5 + (moves * 13) % 120);
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     moves % 3 == 0 ? Qt::ShiftModifier : Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
  }
  return moves;
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
    BoxAnswerer answerer(kBoxAnswers);
    ASSERT_TRUE(StartWindow(s.wizard, s.ui));
    EXPECT_EQ(s.Window().windowTitle(), "NimbraPost Auto Setup");
    EXPECT_EQ(s.Window().size(), QSize(550, 377));
    for (int step = 0; step < 60 && !s.ui.Ended(); ++step) {
      const std::string page = s.Form().ActivePage();
      pages.push_back(page);
      // The stack shows the model's page, inside its group box.
      ASSERT_EQ(s.Window().Stack()->currentWidget(), s.Window().PageWidget(page)) << page;
      if (page == "TabSheet10") {
        const int moves =
            Scribble(s.Widget("MouseScribble"), [&] { return s.Form().At("Next").enabled; });
        EXPECT_GE(moves, 1);
        EXPECT_FALSE(s.Widget("MouseScribble")->isVisible());
      } else if (page == "TabSheet11") {
        KeepOneAddress(s);
      } else if (page == "TabSheet12") {
        Type(s.Widget("UserName"), "Jo");
        Type(s.Widget("GroupName"), "Example Ltd");
        Type(s.Widget("NewPass"), "demo-pass");
        Type(s.Widget("ConfirmPass"), "demo-pass");
      }
      if (page == "TabSheet16") {
        QTest::mouseClick(s.Widget("NoSTF"), Qt::LeftButton);
      } else if (page == "TabSheet19" || step % 2 == 1) {
        // Enter presses the default button: Finish on the last page, else Next.
        QTest::keyClick(&s.Window(), Qt::Key_Return);
      } else {
        QTest::mouseClick(s.Widget("Next"), Qt::LeftButton);
      }
      if (!s.ui.Ended()) {
        ASSERT_NE(s.Form().ActivePage(), page) << "stuck on " << page;
      }
    }
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
