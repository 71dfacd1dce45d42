#pragma once

#include <string>

#include "detect/detect_context.h"
#include "detect/detected_account.h"

namespace nimbra::detect {

// Gives a protected account's program back its real servers: the client
// writer of its type runs with the servers of the account's section ("Org..."
// keys, with their ports) where the protection put the local addresses, so
// that only the server and port values change and every other setting the
// user changed since stays. A port the section does not keep (the program's
// default) is removed where the protection had set one. What
// the program is pointed at now is found from the mappings of WS.INI in
// `folder` (ending in "\") and the hosts file. The settings the protection
// added besides the servers (time-outs) stay. False when a mailbox's account
// could not be written (WriteClientSettings).
bool RestoreClientSettings(DetectContext& context, const std::string& folder,
                           const DetectedAccount& account, int section);

// The hosts text without the lines Quickroute added (those ending in
// "#added by NimbraPost"); every other byte stays. `removed` counts them.
std::string WithoutQuickrouteLines(const std::string& text, int* removed = nullptr);

}  // namespace nimbra::detect
