#pragma once

#include <vector>

#include "detect/detect_context.h"
#include "detect/detected_account.h"

namespace nimbra::detect {

// The readers of the e-mail programs that keep their accounts in the
// registry of the current user. Search mode appends the accounts that pass
// the reader's keep rule to `found`; refresh mode re-reads a saved account
// from its location, without a keep test. A key that does not open is
// skipped (refresh: the record keeps what it holds).

// Netscape Navigator 3 (type 1): keys "User" and "Services".
void SearchNavigator(DetectContext& context, std::vector<DetectedAccount>& found);
void RefreshNavigator(DetectContext& context, DetectedAccount& account);

// Microsoft Internet Mail (type 6).
void SearchInternetMail(DetectContext& context, std::vector<DetectedAccount>& found);
void RefreshInternetMail(DetectContext& context, DetectedAccount& account);

// Microsoft Exchange profiles with the Internet Mail service (type 2): every
// key of "Software" holding an address.
void SearchExchange(DetectContext& context, std::vector<DetectedAccount>& found);
void RefreshExchange(DetectContext& context, DetectedAccount& account);

// Outlook Express, Outlook 98 and MSN accounts (type 8): every key of
// "\Software" holding an address; the candidate keys are saved as
// "Dump.txt" beside the setup program.
void SearchOutlook(DetectContext& context, std::vector<DetectedAccount>& found);
void RefreshOutlook(DetectContext& context, DetectedAccount& account);

}  // namespace nimbra::detect
