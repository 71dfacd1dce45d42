// The distribution page: the user either starts the product's viewer, which
// sends the entry edition to correspondents, or leaves it for later.

#include "keys/nimbra_crypto.h"
#include "platform/files/path.h"
#include "platform/machine.h"
#include "platform/processes/process.h"
#include "setup/tsetup_form.h"

namespace nimbra::setup {

void TSetupForm::TabSheet16Enter() {
  // The page is left only by one of its two buttons.
  for (const char* button : {"ExitSetup", "Next", "Prev"}) form_->At(button).enabled = false;
}

void TSetupForm::StartSTFClick() {
  settings_.Distribute = true;
  ui::Form& f = *form_;
  const std::string viewer = platform::JoinWindowsPath(f["SoftwareLocation"].text, "peruse.exe");
  const std::string password =
      f["NewPass"].text.empty() ? std::string(keys::kNilPassphrase) : f["NewPass"].text;
  const auto shortPath = machine_.ShortPath(viewer);
  platform::Processes processes(machine_, context_->SetupDir());
  const bool started =
      shortPath && processes.WinExec(*shortPath + " DIST " + f["UserName"].text + " " + password,
                                     platform::ShowWindow::ShowNormal) > 31;
  // The password stays out of the log.
  ui_.LogLine("RUN " + viewer + " DIST " + f["UserName"].text + " -> " +
              (started ? "started" : "not started"));
  LeaveDistributionPage();
}

void TSetupForm::NoSTFClick() {
  settings_.Distribute = false;
  LeaveDistributionPage();
}

void TSetupForm::LeaveDistributionPage() {
  form_->At("Next").enabled = true;
  form_->At("ExitSetup").enabled = true;
  form_->At("Prev").enabled = true;
  NextClick();
}

}  // namespace nimbra::setup
