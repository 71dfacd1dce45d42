#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"

namespace nimbra::ui {

// The wizard window `TSetupForm` with every page of its page stack and every
// control, named as the page handlers know them, holding the designer's
// captions and defaults. The header and the bottom bar (`ExitSetup`, `Prev`,
// `Next`, `MouseComplete`, `ProgressBar1`) have no page.
std::unique_ptr<Form> MakeSetupForm();

// The companion windows, created after the wizard.
std::unique_ptr<Form> MakeSaveDataForm();      // TSaveData, the wait box
std::unique_ptr<Form> MakeCalyTimeoutForm();   // TCalyTimeout, time-out advice (OK closes)
std::unique_ptr<Form> MakePrepForm();          // TPrepForm, the preparation box
std::unique_ptr<Form> MakeBackDropForm();      // TBackDropForm
std::unique_ptr<Form> MakeMouseCaptureForm();  // TfrmMouseCapture
std::unique_ptr<Form> MakeOldLogonForm();      // TOldLogonScreen (Logon closes with Ok)
std::unique_ptr<Form> MakeTestInstallForm();   // TTestInstall

// The names of the companion windows above ("TSaveData", ...).
std::vector<std::string> CompanionWindowNames();

}  // namespace nimbra::ui
