#include "detect/detected_account.h"

#include <algorithm>

#include "core/strings.h"

namespace nimbra::detect {

void AddDetectedAddress(std::vector<std::string>& addresses, std::string_view address) {
  const auto at = std::lower_bound(
      addresses.begin(), addresses.end(), address,
      [](const std::string& a, std::string_view b) { return AnsiCompareText(a, b) < 0; });
  if (at != addresses.end() && AnsiSameText(*at, address)) return;
  addresses.insert(at, std::string(address));
}

}  // namespace nimbra::detect
