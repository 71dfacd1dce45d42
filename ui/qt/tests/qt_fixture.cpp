#include "ui/qt/tests/qt_fixture.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "testsupport/run_program.h"
#include "ui/qt/drive_dialog.h"

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

}  // namespace nimbra::uiqt::testing
