#pragma once

// Where the installed product is on a machine, as every program of it finds
// it: the product's registry key, its "WS.INI" and the caption of its
// message boxes.

#include <string>
#include <string_view>

namespace nimbra::platform {
class Machine;
}

namespace nimbra::keys {

// The product's key, under HKEY_LOCAL_MACHINE (and, left by older
// installations, under HKEY_CURRENT_USER).
inline constexpr const char* kProductKey = "Software\\NimbraPost\\Current Version";

// The Windows path of the installed product's "WS.INI": in the folder that
// "exePath" of HKEY_LOCAL_MACHINE kProductKey names, else in programDir (the
// folder of the program asking). Registry errors are raised.
std::string ProductIniPath(platform::Machine& machine, std::string_view programDir);

// The caption of the product's message boxes: "INSTALLED" of section
// "WorkStation" of the WS.INI at iniPath; "MESSAGE:" when the file or the
// value is missing or cannot be read.
std::string ProductCaption(platform::Machine& machine, const std::string& iniPath);

}  // namespace nimbra::keys
