#include "ui/qt/tests/qt_fixture.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "testsupport/run_program.h"
#include "ui/qt/drive_dialog.h"

// The font library keeps its caches for the life of the process; the leak
// checker of the sanitized build is told so.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace nimbra::uiqt::testing {

QApplication& App() {
  static int argc = 1;
  static char name[] = "uiqt_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

BoxAnswerer::BoxAnswerer(std::map<std::string, std::string> answers)
    : answers_(std::move(answers)) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
  timer_.start(5);
}

BoxAnswerer::~BoxAnswerer() {
  timer_.stop();
}

void BoxAnswerer::Look() {
  QWidget* box = QApplication::activeModalWidget();
  if (!box || !box->isVisible()) return;
  const std::string name = box->objectName().toStdString();
  const auto it = answers_.find(name);
  const std::string answer = it == answers_.end() ? "OK" : it->second;
  if (auto* message = qobject_cast<QMessageBox*>(box)) {
    QAbstractButton* button = nullptr;
    for (QAbstractButton* b : message->buttons()) {
      if (b->text().remove('&').compare(QString::fromStdString(answer), Qt::CaseInsensitive) == 0)
        button = b;
    }
    if (!button) button = message->buttons().value(0);
    answered_.push_back(name + ": " + button->text().remove('&').toStdString());
    QTest::mouseClick(button, Qt::LeftButton);
  } else if (auto* input = qobject_cast<QInputDialog*>(box)) {
    answered_.push_back(name + ": " + answer);
    if (answer == "Cancel") {
      input->reject();
    } else {
      input->setTextValue(QString::fromStdString(answer));
      input->accept();
    }
  } else if (auto* drives = qobject_cast<DriveDialog*>(box)) {
    answered_.push_back(name + ": accepted");
    drives->accept();
  } else {
    // A dialog of the form model: Enter presses its default button.
    answered_.push_back(name + ": Enter");
    QTest::keyClick(box, Qt::Key_Return);
  }
}

std::filesystem::path DemoMachineCopy(const std::filesystem::path& to) {
  static testsupport::TempFolder made("nimbra-qt-demo");
  static bool done = false;
  const auto demo = made.Path() / "demo";
  if (!done) {
    const auto r = testsupport::RunCommand(std::string(NIMBRA_BINARY_DIR) +
                                           "/nimbra-machine demo '" + demo.string() + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    done = true;
  }
  // As a person copies a machine: its drive links stay links.
  const auto r = testsupport::RunCommand("cp -a '" + demo.string() + "' '" + to.string() + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  return to;
}

WindowSession::WindowSession(const std::filesystem::path& machineDir, const std::string& setupDir)
    : machine(platform::Machine::Open(machineDir)), ui(machine), wizard(ui, machine, setupDir) {
  App();
  wizard.windowWaitLimit = std::chrono::milliseconds(50);
}

WindowSession::~WindowSession() {
  for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
}

QWidget* WindowSession::Widget(const std::string& control) {
  QWidget* w = Window().WidgetOf(control);
  EXPECT_NE(w, nullptr) << control;
  return w;
}

std::string DemoAnswers() {
  std::ifstream in(std::string(NIMBRA_SOURCE_DIR) + "/app/nimbra-setup/demo-answers.ini",
                   std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

void ClickEntry(QWidget* widget, const std::string& text) {
  auto* list = qobject_cast<QListWidget*>(widget);
  if (!list) {
    ADD_FAILURE() << "no list";
    return;
  }
  const auto found = list->findItems(QString::fromStdString(text), Qt::MatchExactly);
  if (found.isEmpty()) {
    ADD_FAILURE() << "no entry " << text;
    return;
  }
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
}

// The person's addresses: only jo@example.com, made the primary one.
void KeepOneAddress(WindowSession& s) {
  ui::Control& list = s.Form().At("EmailAddrs");
  if (list.IndexOf("jo@example.com") < 0) QTest::mouseClick(s.Widget("AddAddress"), Qt::LeftButton);
  ClickEntry(s.Widget("EmailAddrs"), "jo@example.com");
  QTest::mouseClick(s.Widget("SetDefault"), Qt::LeftButton);
  for (int tries = 0; tries < 20 && list.items.size() > 1; ++tries) {
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
  if (!edit) {
    ADD_FAILURE() << "no edit";
    return;
  }
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

}  // namespace

std::vector<std::string> DriveStandardInstall(
    WindowSession& s,
    const std::function<void(const std::string&, const std::function<void()>&)>& aroundPress) {
  const auto around = [&](const std::string& page, const std::function<void()>& press) {
    if (aroundPress) {
      aroundPress(page, press);
    } else {
      press();
    }
  };
  std::vector<std::string> pages;
  for (int step = 0; step < 60 && !s.ui.Ended(); ++step) {
    const std::string page = s.Form().ActivePage();
    pages.push_back(page);
    // The stack shows the model's page, inside its group box.
    EXPECT_EQ(s.Window().Stack()->currentWidget(), s.Window().PageWidget(page)) << page;
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
      around(page, [&] { QTest::mouseClick(s.Widget("NoSTF"), Qt::LeftButton); });
    } else if (page == "TabSheet19" || step % 2 == 1) {
      // Enter presses the default button: Finish on the last page, else Next.
      around(page, [&] { QTest::keyClick(&s.Window(), Qt::Key_Return); });
    } else {
      around(page, [&] { QTest::mouseClick(s.Widget("Next"), Qt::LeftButton); });
    }
    if (!s.ui.Ended() && s.Form().ActivePage() == page) {
      ADD_FAILURE() << "stuck on " << page;
      break;
    }
  }
  return pages;
}

}  // namespace nimbra::uiqt::testing
