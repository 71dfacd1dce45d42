#include "platform/files/path.h"
#include "platform/processes/process.h"
#include "platform/processes/service.h"
#include "platform/processes/service_net_command.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"
#include "ui/pumped_wait.h"

namespace nimbra::setup {

namespace {

constexpr const char* kServiceDisplayName = "NimbraPost Root Service";

}  // namespace

// One post-install program of the installer settings, relative to the
// program location. A program that cannot be started to be waited for is
// started without waiting.
void TSetupForm::RunPostInstall(const std::string& program, bool wait) {
  if (program.empty()) return;
  platform::Processes processes(machine_, context_->SetupDir());
  const std::string path =
      platform::WithTrailingBackslash(form_->At("SoftwareLocation").text) + program;
  bool started =
      processes.CreateProcess("", path, platform::ShowWindow::ShowNormal, wait).Started();
  if (!started && wait) started = processes.WinExec(path, platform::ShowWindow::ShowNormal) > 31;
  ui_.LogLine("RUN " + path + (wait ? " (waited for)" : "") + " -> " +
              (started ? "started" : "not started"));
}

void TSetupForm::FinishClick() {
  RunPostInstall(settings_.RunAndWaitAfter, true);
  RunPostInstall(settings_.RunAfter, false);
  ui_.ShowWindow(*form_, false);
  ui::Form& waitBox = Dialog("TSaveData");
  ui_.ShowWindow(waitBox, true);
  const int type = settings_.InstallType;
  if (type != 5) RegServer();
  SaveThirdParty();
  if (type != 6 && type != 7) {
    platform::Processes processes(machine_, context_->SetupDir());
    if (ServiceFlavour()) {
      // The service program needs a moment after its registration.
      ui::WaitPumping(ui_, stopLimits.serviceStartDelay, [] { return true; });
      platform::ServiceManager services(machine_);
      platform::InstallNetCommand(processes, services);
      const std::string command = std::string("NET START \"") + kServiceDisplayName + "\"";
      const auto result = processes.CreateProcess("", command, platform::ShowWindow::Hide, false);
      ui_.LogLine("RUN " + command + " -> " + (result.Started() ? "started" : "not started"));
    } else {
      const std::string product = ShortProgramLocation() + "Nimbra.exe";
      const bool started =
          processes.CreateProcess("", product, platform::ShowWindow::ShowNormal, false).Started();
      ui_.LogLine("RUN " + product + " -> " + (started ? "started" : "not started"));
      if (!started) context_->Message(settings_.RestartError);
      SetStartupEntry();
    }
  }
  ui_.ShowWindow(waitBox, false);
  RunPostInstall(settings_.RunAndWaitAfterQuit, true);
  RunPostInstall(settings_.RunAfterQuit, false);
  // The installation is complete once its registry changes are saved; the
  // journal says so, and a later run starts a journal of its own.
  machine_.Save();
  Install().Journal().End();
  ui_.EndProcess(ui::kExitFinished, "Finish");
}

}  // namespace nimbra::setup
