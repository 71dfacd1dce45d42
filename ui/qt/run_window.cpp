#include "ui/qt/run_window.h"

#include "core/hex.h"
#include "setup/unattended.h"

namespace nimbra::uiqt {

bool StartWindow(setup::TSetupForm& wizard, QtUi& ui) {
  ui.Run(nullptr, [&] {
    setup::CheckSetupFolder(wizard, ui);
    wizard.FormCreate();
  });
  return !ui.Ended();
}

void FinishRecording(setup::TSetupForm& wizard, QtUi& ui) {
  Recorder* recorder = ui.Recording();
  if (!recorder) return;
  const auto& samples = wizard.Context().mouseSamples;
  if (!samples.empty()) recorder->SetSamples(HexUpper(samples));
  recorder->Save();
}

int RunWindow(setup::TSetupForm& wizard, QtUi& ui, std::string* reason) {
  if (StartWindow(wizard, ui)) ui.RunEventLoop();
  FinishRecording(wizard, ui);
  const ui::ProcessEnd end =
      ui.Ended().value_or(ui::ProcessEnd{ui::kExitUserExit, "window closed"});
  if (reason) *reason = end.reason;
  return end.code;
}

}  // namespace nimbra::uiqt
