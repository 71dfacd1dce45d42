#pragma once

#include <string>
#include <vector>

#include "detect/detect_context.h"
#include "detect/detected_account.h"
#include "platform/profile/profile_file.h"

namespace nimbra::detect {

// The account sections of WS.INI: "UNINSTALL" + n for n = 1, 2, 3 ..., one
// per account; a section exists exactly when its "Software" is not empty,
// and loading stops at the first number without one. `folder` is the
// folder of WS.INI, ending in "\".

std::string AccountSectionName(int n);

// The profile file WS.INI of a folder; FileError when its drive is missing.
platform::ProfileFile WsIniFile(platform::Machine& machine, const std::string& folder);

// Loads section n as it is stored, without looking at the client; false
// (the record untouched) when the section does not exist.
bool LoadAccountSection(platform::ProfileFile& wsIni, int n, DetectedAccount& record);

// Loads section n, refreshes the record from the client's own settings and
// works out its mapping fields and active flag. A refresh that fails leaves
// the values stored in WS.INI. False when the section does not exist.
bool ReadAccountSection(DetectContext& context, const std::string& folder, DetectedAccount& record,
                        int n);

// Writes section n, all keys at once. When the SMTP server is empty the POP3
// server is stored (and kept in the record) in its place. Declines (false,
// nothing written) when a server of the record already is a proxy address:
// its real server would be lost.
bool WriteAccountSection(platform::Machine& machine, const std::string& folder,
                         DetectedAccount& record, int n);

// True when a saved record has the same location (compared exactly) and the
// same client type.
bool IsDuplicateAccount(const std::vector<DetectedAccount>& saved, const DetectedAccount& record);

// The entries of the check list: Software + " (" + Name + ")" of every
// section in number order (just Software when Name is empty).
std::vector<std::string> AccountSectionLabels(platform::Machine& machine,
                                              const std::string& folder);

}  // namespace nimbra::detect
