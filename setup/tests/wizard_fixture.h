#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "setup/answer_ui.h"
#include "setup/tsetup_form.h"
#include "setup/unattended.h"
#include "testsupport/temp_folder.h"
#include "testsupport/test_machine.h"
#include "ui/event_log.h"

namespace nimbra::setup::testing {

// A fresh machine with the installer on CD-ROM drive D and helpers to run
// the wizard unattended on it.
class WizardTest : public ::testing::Test {
 public:
  WizardTest() { machine.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40"); }

  void Script(const std::string& text) { machine.PutFile("D:\\Script.txt", text); }
  // An installer of the type whose one program file is the product, which
  // Finish starts.
  void ScriptType(int runType) {
    Script("[PRODUCT]\r\nInstaller=NimbraPost Test\r\nRelease=4.1\r\nRunType=" +
           std::to_string(runType) + "\r\nSTART COPY\r\nNimbra.exe\r\nSTOP COPY\r\n");
    machine.PutFile("D:\\Nimbra.exe", "product");
  }

  struct Result {
    int code = -1;
    std::string reason;
    std::vector<std::string> pages;     // PAGE lines in order
    std::vector<std::string> messages;  // message box texts
    std::vector<std::string> log;
  };

  // Runs the wizard with the answer file; keeps the wizard for inspection.
  // The distribution page is left by "No I will Do it Later", and the
  // server pages get answers that pass their checks (kPassingAnswers),
  // unless the answers say otherwise.
  // The machine as it was before the run is kept for UndoRun.
  Result Run(const std::string& answers, const std::string& setupDir = "D:\\") {
    wizard.reset();  // it refers to the previous run's Ui
    if (!beforeRun) beforeRun = std::make_unique<testsupport::TempFolder>("nimbra-before-run");
    std::filesystem::remove_all(beforeRun->Path() / "machine");
    machine.SaveState(beforeRun->Path() / "machine");
    log = std::make_unique<ui::EventLog>();
    std::string all = answers;
    // The pages a run passes without the test caring take answers that let
    // it go on, unless the test gives its own.
    for (const auto& [section, keys] : kPassingAnswers) {
      if (all.find(section) == std::string::npos) all += "\r\n" + section + "\r\n" + keys;
    }
    ui = std::make_unique<AnswerFileUi>(all);
    ui->SetLog(log.get());
    wizard = std::make_unique<TSetupForm>(*ui, *machine, setupDir);
    wizard->windowWaitLimit = windowWaitLimit;
    if (prepare) prepare(*wizard);
    Result r;
    r.code = RunUnattended(*wizard, *ui, &r.reason);
    // As the program does: a finished run commits its registry changes.
    if (r.code == ui::kExitFinished) machine->Save();
    for (const auto& line : log->Lines()) {
      if (line.rfind("PAGE ", 0) == 0) r.pages.push_back(line.substr(5));
    }
    r.messages = ui->Messages();
    r.log = log->Lines();
    return r;
  }

  // Takes back what the last run installed: the machine as it was before it.
  void UndoRun() {
    if (!beforeRun) return;
    wizard.reset();
    machine.RestoreState(beforeRun->Path() / "machine");
  }

  // The pages of a sequence, by their short numbers ("1", "6a", "Orva", ...).
  static std::vector<std::string> Pages(std::initializer_list<const char*> numbers) {
    std::vector<std::string> out;
    for (const char* n : numbers) out.push_back(std::string("TabSheet") + n);
    return out;
  }

  std::string Text(const char* control) { return wizard->Form().At(control).text; }

  inline static const std::vector<std::pair<std::string, std::string>> kPassingAnswers = {
      {"[TabSheet16]", "Press=NoSTF\r\n"},
      {"[TabSheet27]",
       "RegName=Example Ltd\r\nServerName=MAIL1\r\nRegAddress=admin@example.com\r\n"},
      {"[TabSheet33]", "InternalIP=192.0.2.10\r\n"},
      {"[TabSheet35]", "RelayIP=192.0.2.25\r\n"},
  };

  testsupport::TestMachine machine;
  std::unique_ptr<testsupport::TempFolder> beforeRun;
  // Short, so that a window that never closes costs the test little time.
  std::chrono::milliseconds windowWaitLimit{50};
  // Called on the wizard before the run starts.
  std::function<void(TSetupForm&)> prepare;
  std::unique_ptr<ui::EventLog> log;
  std::unique_ptr<AnswerFileUi> ui;
  std::unique_ptr<TSetupForm> wizard;
};

// Answers that carry a desktop run through its checks.
inline const char* kDesktopAnswers =
    "[TabSheet11]\r\nPrimeEmail=jane@example.com\r\n"
    "[TabSheet12]\r\nNewPass=secret\r\nConfirmPass=secret\r\n";

}  // namespace nimbra::setup::testing
