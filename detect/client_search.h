#pragma once

#include <string>
#include <vector>

#include "detect/detect_context.h"
#include "detect/detected_account.h"
#include "ui/form.h"

namespace nimbra::detect {

// The search driver. Loads the saved accounts of WS.INI (in `folder`,
// ending in "\"), runs the nine client readers in their fixed order, each in
// its own guard, with its name on `panel` (the status panel "Detect"); gives
// every new account that is not a duplicate of a saved one the next section
// number (a section that is not written uses none, so that no gap hides the
// later ones); adds every found account's address to `addresses`; and ends
// with "Finished" on the panel. The file readers share one walk of each
// search drive.
void SearchForClients(DetectContext& context, ui::Control& panel,
                      std::vector<std::string>& addresses, const std::string& folder);

// The refresh mode of the reader of the account's client type: re-reads the
// account from the client's own settings. Types without a reader (the
// server's own entry) are left as they are.
void RefreshAccount(DetectContext& context, DetectedAccount& account);

}  // namespace nimbra::detect
