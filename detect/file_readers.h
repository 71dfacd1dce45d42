#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "detect/detect_context.h"
#include "detect/detected_account.h"

namespace nimbra::detect {

// The readers of the e-mail programs whose settings lie in files anywhere
// on the disks. Each search-mode reader takes one file the file search
// found (its full Windows path) and appends what passes its keep rule to
// `found`; an unreadable file raises platform::FileError. Refresh mode
// re-reads one saved account from its location (and persona); a file that
// no longer exists or cannot be read leaves the saved values.

// "Eudora.ini": the main settings (type 3), then each personality (type 7).
void ReadEudoraFile(DetectContext& context, const std::string& path,
                    std::vector<DetectedAccount>& found);
void RefreshEudora(DetectContext& context, DetectedAccount& account);

// "PMail.ini" (type 4), always kept; and the file of the Pegasus base
// folder the registry names, read once after the files of every drive.
void ReadPegasusFile(DetectContext& context, const std::string& path,
                     std::vector<DetectedAccount>& found);
void ReadPegasusBaseFolder(DetectContext& context, std::vector<DetectedAccount>& found);
void RefreshPegasus(DetectContext& context, DetectedAccount& account);

// "Connect.ini" with the user files "User001\Turnpike.ini", ... beside it
// (type 10), one account per user file.
void ReadTurnpikeFile(DetectContext& context, const std::string& path,
                      std::vector<DetectedAccount>& found);
void RefreshTurnpike(DetectContext& context, DetectedAccount& account);
// A Turnpike reply address without its display name: the text after the
// first "<", up to the first ">" after that.
std::string CleanTurnpikeAddress(std::string_view address);

// "prefs.js" (type 5), always kept, also when the file cannot be read.
void ReadCommunicatorFile(DetectContext& context, const std::string& path,
                          std::vector<DetectedAccount>& found);
void RefreshCommunicator(DetectContext& context, DetectedAccount& account);

}  // namespace nimbra::detect
