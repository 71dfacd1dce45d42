#pragma once

#include <string>

#include "setup/tsetup_form.h"
#include "ui/qt/qt_ui.h"

namespace nimbra::uiqt {

// Opens the wizard window: checks the setup folder as an unattended run
// does, then creates the wizard, whose first page shows. Returns false when
// the process already ended (the folder check, the rights check).
bool StartWindow(setup::TSetupForm& wizard, QtUi& ui);

// StartWindow, then the person's session until the process ends. Returns
// its exit status (see ui/ui.h); `reason` says why it ended. The answer file
// of the session is written when ui records.
int RunWindow(setup::TSetupForm& wizard, QtUi& ui, std::string* reason = nullptr);

// The recorder's last piece: the mouse samples the wizard took, in hex.
void FinishRecording(setup::TSetupForm& wizard, QtUi& ui);

}  // namespace nimbra::uiqt
