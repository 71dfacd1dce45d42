#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "setup/tsetup_form.h"
#include "testsupport/temp_folder.h"
#include "ui/qt/qt_ui.h"

namespace nimbra::uiqt::testing {

// The application object every window test needs (offscreen platform).
QApplication& App();

// Answers the modal boxes the wizard opens, as a person at the screen
// would: a message box or question by its identifier ("Yes", "No", "OK",
// "Cancel"; "OK" for boxes it has no answer for), an input box with the
// given text, a dialog of the form model by Enter. It looks for a box every
// few milliseconds while the code under test runs a modal loop.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::map<std::string, std::string> answers);
  ~BoxAnswerer();
  // The boxes answered: "<object name>: <answer>".
  const std::vector<std::string>& Answered() const { return answered_; }

 private:
  void Look();
  std::map<std::string, std::string> answers_;
  std::vector<std::string> answered_;
  QTimer timer_;
};

// The bundled demo machine (nimbra-machine demo) made once per test program
// and copied for each use.
std::filesystem::path DemoMachineCopy(const std::filesystem::path& to);

// A wizard on a machine, shown in the Qt window.
struct WindowSession {
  explicit WindowSession(const std::filesystem::path& machineDir, const std::string& setupDir);
  ~WindowSession();
  platform::Machine machine;
  QtUi ui;
  setup::TSetupForm wizard;
  ui::Form& Form() { return wizard.Form(); }
  WizardWindow& Window() { return *ui.MainWindow(); }
  // The widget of a control of the wizard (fails the test when missing).
  QWidget* Widget(const std::string& control);
};

// The answers a person gives to the boxes of the demo installation.
inline const std::map<std::string, std::string> kDemoBoxAnswers = {
    {"JoinExistingDatabase", "No"},
    {"OverwriteDataFiles", "Yes"},
    {"MailboxPassword", "calypso-demo"},
    {"AddEmailAddress", "jo@example.com"},
    {"ExitSetup", "Cancel"}};

// A person's Standard installation of the demo (the answers of
// DemoAnswers) from the first page to Finish: typing, clicks and Enter, mouse
// moves over the scribble box. `around`, when given, runs each press that
// leaves a page. Returns the pages shown, in order.
std::vector<std::string> DriveStandardInstall(
    WindowSession& s,
    const std::function<void(const std::string& page, const std::function<void()>& press)>& around =
        {});

// The answers of the demo installation, as an answer file.
std::string DemoAnswers();

}  // namespace nimbra::uiqt::testing
