#pragma once

#include <string_view>

#include "platform/profile/profile_text.h"
#include "setupstate/install_settings.h"

namespace nimbra::setup {

// Reads every key of the installer settings sections ("PRODUCT",
// "DBINSTALLER", "THIRDPARTY", "STARTMENU", "Defaults") of an installer
// script into the settings record. Missing keys take their defaults; a
// number that does not read ("RunType=two") gives the key's default.
// `ScriptName`, `ProgramsFolder`, the previous-installation fields and the
// flags are left alone. Integers (and "NT") are read in decimal only; any
// other text gives the key's default. Any text is accepted.
void ReadInstallerSettings(const platform::ProfileText& script, InstallSettings& settings);
void ReadInstallerSettings(std::string_view scriptText, InstallSettings& settings);

}  // namespace nimbra::setup
