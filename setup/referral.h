#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"

namespace nimbra::setup {

// The maker's web site as the browsers name its cookie files, and its domain.
inline constexpr std::string_view kReferralSite = "nimbrapost";
inline constexpr std::string_view kReferralDomain = "nimbrapost.com";

// The referral cookie "NIMREF" left by the maker's web site in the browsers'
// cookie files of the machine; empty when there is none. Unreadable files and
// registry keys are skipped.
std::string ReferralLookup(platform::Machine& machine);

// The value found in cookie-file lines: a line "NIMREF" followed by the
// value's line, or a line naming the maker's domain and NIMREF with the value
// after "NIMREF" and one separator (upper-cased). The last match wins.
std::string FindReferral(const std::vector<std::string>& lines);

}  // namespace nimbra::setup
