#include "detect/detected_account.h"

#include "core/strings.h"

namespace nimbra::detect {

void AddDetectedAddress(std::vector<std::string>& addresses, std::string_view address) {
  InsertSortedText(addresses, address);
}

}  // namespace nimbra::detect
