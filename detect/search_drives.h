#pragma once

#include <string>
#include <vector>

#include "detect/detect_context.h"

namespace nimbra::detect {

// Fills `list` with the roots ("C:\") of the fixed and remote drives, A to Z,
// and makes them the search drives.
void BuildDriveList(DetectContext& context, std::vector<std::string>& list);

// The text of one drive in the drive check list: root + " - [label]" for a
// fixed drive; root + " ~ " + the network name of its connection for a
// remote drive ("[label]" when it has none); root + " Type UnKnown" for any
// other. Label and network name are in lower case when the drive letter is,
// else in upper case.
std::string DriveDisplayText(platform::Machine& machine, const std::string& root);

// Replaces the search drives.
void SetSearchDrives(DetectContext& context, const std::vector<std::string>& roots);

}  // namespace nimbra::detect
