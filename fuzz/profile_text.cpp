// Profile text: any bytes parse, the text saves back byte for byte, and a
// write reads back through the same lookup rules.
#include "platform/profile/profile_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  nimbra::platform::ProfileText text(input);
  if (text.Content() != input) std::abort();

  for (const std::string& section : text.SectionNames()) {
    for (const std::string& key : text.KeyNames(section)) {
      if (!text.ValueExists(section, key)) std::abort();
      text.ReadInteger(section, key, 0);
    }
    text.SectionValues(section);
  }
  // Use the first section name found (or a fixed one) for a write round trip.
  const auto names = text.SectionNames();
  const std::string section = names.empty() ? "Fuzz" : names.front();
  try {
    text.WriteString(section, "FuzzKey", "value");
    if (text.ReadString(section, "fuzzkey", "") != "value") std::abort();
    const nimbra::platform::ProfileText reread(text.Content());
    if (reread.ReadString(section, "FUZZKEY", "") != "value") std::abort();
    text.DeleteSection(section);
    if (text.SectionExists(section)) std::abort();
  } catch (const nimbra::platform::ProfileError&) {
    // A section name holding a line break cannot be written.
  }
  return 0;
}
