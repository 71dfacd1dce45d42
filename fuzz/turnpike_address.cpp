// The Turnpike address cleaner: any text gives a part of itself that holds
// no ">", and a bare address is kept as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "detect/file_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string cleaned = nimbra::detect::CleanTurnpikeAddress(input);
  if (cleaned.find('>') != std::string::npos) std::abort();
  if (input.find(cleaned) == std::string_view::npos) std::abort();
  if (input.find_first_of("<>") == std::string_view::npos && cleaned != input) std::abort();
  // Cleaning what is already clean changes nothing, unless a "<" is left.
  if (cleaned.find('<') == std::string::npos &&
      nimbra::detect::CleanTurnpikeAddress(cleaned) != cleaned) {
    std::abort();
  }
  return 0;
}
