// nimbra-setup: the installation wizard, run on an emulated Windows machine.
//
//   nimbra-setup --machine DIR --setup-dir WINPATH [--program-name NAME]
//                [--silent --answers FILE | --record FILE] [--log FILE]
//   nimbra-setup --machine DIR --uninstall [--keep-data] [--silent]
//                [--answers FILE] [--log FILE]
//
// Without --silent the wizard window opens; --record writes the answer file
// of what the person entered, for a later --silent --answers run.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/machine.h"
#include "setup/answer_ui.h"
#include "setup/tsetup_form.h"
#include "setup/unattended.h"
#include "setup/uninstall_command.h"
#include "ui/event_log.h"
#ifdef NIMBRA_HAVE_QT
#include <QApplication>

#include "ui/qt/qt_ui.h"
#include "ui/qt/run_window.h"
#endif

namespace {

struct Options {
  std::string machine;
  std::string setupDir;
  std::string programName = "SETUP.EXE";
  std::string answers;
  std::string log;
  std::string record;
  bool silent = false;
  bool uninstall = false;
  bool keepData = false;
};

int Usage(const char* message) {
  std::cerr << "nimbra-setup: " << message << "\n"
            << "usage: nimbra-setup --machine DIR --setup-dir WINPATH [--program-name NAME]\n"
            << "                    [--silent --answers FILE | --record FILE] [--log FILE]\n"
            << "       nimbra-setup --machine DIR --uninstall [--keep-data] [--silent]\n"
            << "                    [--answers FILE] [--log FILE]\n";
  return 64;
}

// The end of a wizard run, in the window or unattended: a finished run
// commits what it wrote to the registry (a stopped one saves nothing more
// than its completed steps committed themselves), and a run that did not
// finish says why in one line, as in the log (line breaks as \r and \n).
int EndOfRun(int code, nimbra::platform::Machine& machine, const std::string& reason) {
  if (code == nimbra::ui::kExitFinished) machine.Save();
  if (code != 0) std::cerr << "nimbra-setup: " << nimbra::ui::EventLog::Escape(reason) << "\n";
  return code;
}

// The wizard window: a person installs, the exit status is the wizard's.
int RunWindow(int argc, char** argv, const Options& options) {
#ifdef NIMBRA_HAVE_QT
  try {
    QApplication app(argc, argv);
    auto machine = nimbra::platform::Machine::Open(options.machine);
    std::unique_ptr<nimbra::ui::EventLog> log;
    if (!options.log.empty()) log = std::make_unique<nimbra::ui::EventLog>(options.log);
    nimbra::uiqt::QtUi ui(machine);
    ui.SetLog(log.get());
    if (!options.record.empty())
      ui.Record(std::make_unique<nimbra::uiqt::Recorder>(options.record));
    nimbra::setup::TSetupForm wizard(ui, machine, options.setupDir, options.programName);
    std::string reason;
    const int code = nimbra::uiqt::RunWindow(wizard, ui, &reason);
    return EndOfRun(code, machine, reason);
  } catch (const std::exception& e) {
    std::cerr << "nimbra-setup: " << e.what() << "\n";
    return 1;
  }
#else
  (void)argc;
  (void)argv;
  (void)options;
  return Usage("this build has no window (Qt 6 was not found): give --silent and --answers");
#endif
}

// A console answer to the one question of the uninstall.
class ConsoleUi : public nimbra::setup::AnswerFileUi {
 public:
  ConsoleUi() : AnswerFileUi("") {}

 protected:
  nimbra::ui::Answer DoAsk(const nimbra::ui::Question& question, nimbra::ui::Buttons) override {
    std::cout << question.text << " [y/N] " << std::flush;
    std::string line;
    std::getline(std::cin, line);
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y') ? nimbra::ui::Answer::Yes
                                                               : nimbra::ui::Answer::No;
  }
};

int Uninstall(const Options& options) {
  if (options.machine.empty()) return Usage("--machine is required");
  if (!options.setupDir.empty() || !options.record.empty())
    return Usage("--uninstall takes no --setup-dir or --record");
  try {
    std::string answers;
    if (!options.answers.empty()) {
      std::ifstream in(options.answers, std::ios::binary);
      if (!in) {
        std::cerr << "nimbra-setup: cannot read the answer file " << options.answers << "\n";
        return 66;
      }
      std::stringstream text;
      text << in.rdbuf();
      answers = text.str();
    }
    auto machine = nimbra::platform::Machine::Open(options.machine);
    std::unique_ptr<nimbra::ui::EventLog> log;
    if (!options.log.empty()) log = std::make_unique<nimbra::ui::EventLog>(options.log);
    using nimbra::setup::DataChoice;
    const DataChoice data = options.keepData                            ? DataChoice::Keep
                            : options.silent && options.answers.empty() ? DataChoice::KeepUnasked
                                                                        : DataChoice::Ask;
    std::unique_ptr<nimbra::setup::AnswerFileUi> ui;
    if (options.answers.empty() && !options.silent) {
      ui = std::make_unique<ConsoleUi>();
    } else {
      ui = std::make_unique<nimbra::setup::AnswerFileUi>(answers);
    }
    ui->SetLog(log.get());
    return nimbra::setup::RunUninstallCommand(machine, *ui, data, std::cout);
  } catch (const std::exception& e) {
    std::cerr << "nimbra-setup: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= argc) return false;
      target = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--machine") {
      ok = value(options.machine);
    } else if (arg == "--setup-dir") {
      ok = value(options.setupDir);
    } else if (arg == "--program-name") {
      ok = value(options.programName);
    } else if (arg == "--answers") {
      ok = value(options.answers);
    } else if (arg == "--log") {
      ok = value(options.log);
    } else if (arg == "--record") {
      ok = value(options.record);
    } else if (arg == "--silent") {
      options.silent = true;
    } else if (arg == "--uninstall") {
      options.uninstall = true;
    } else if (arg == "--keep-data") {
      options.keepData = true;
    } else {
      return Usage(("unknown argument " + arg).c_str());
    }
    if (!ok) return Usage(("missing value after " + arg).c_str());
  }
  if (options.uninstall) return Uninstall(options);
  if (options.keepData) return Usage("--keep-data is for --uninstall");
  if (options.machine.empty() || options.setupDir.empty()) {
    return Usage("--machine and --setup-dir are required");
  }
  if (!options.silent) {
    if (!options.answers.empty()) return Usage("--answers needs --silent");
    return RunWindow(argc, argv, options);
  }
  if (options.answers.empty()) return Usage("--silent needs --answers FILE");
  if (!options.record.empty()) return Usage("--record is for the window, not --silent");

  try {
    std::ifstream in(options.answers, std::ios::binary);
    if (!in) {
      std::cerr << "nimbra-setup: cannot read the answer file " << options.answers << "\n";
      return 66;
    }
    std::stringstream text;
    text << in.rdbuf();

    auto machine = nimbra::platform::Machine::Open(options.machine);
    std::unique_ptr<nimbra::ui::EventLog> log;
    if (!options.log.empty()) log = std::make_unique<nimbra::ui::EventLog>(options.log);
    nimbra::setup::AnswerFileUi ui(text.str());
    ui.SetLog(log.get());
    nimbra::setup::TSetupForm wizard(ui, machine, options.setupDir, options.programName);
    std::string reason;
    const int code = nimbra::setup::RunUnattended(wizard, ui, &reason);
    return EndOfRun(code, machine, reason);
  } catch (const std::exception& e) {
    std::cerr << "nimbra-setup: " << e.what() << "\n";
    return 1;
  }
}
