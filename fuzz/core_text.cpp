// The text readers of core: comma lists, base64, hex, integers and dates
// never fail other than by ConvertError, and what they read writes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/base64.h"
#include "core/datetime.h"
#include "core/error.h"
#include "core/hex.h"
#include "core/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const auto items = nimbra::SplitCommaList(input);
  if (nimbra::SplitCommaList(nimbra::JoinCommaList(items)) != items) std::abort();

  try {
    const auto bytes = nimbra::Base64Decode(input);
    if (nimbra::Base64Decode(nimbra::Base64Encode(bytes, 60)) != bytes) std::abort();
  } catch (const nimbra::ConvertError&) {
  }
  try {
    const auto bytes = nimbra::HexToBytes(input);
    if (nimbra::HexToBytes(nimbra::HexUpper(bytes)) != bytes) std::abort();
  } catch (const nimbra::ConvertError&) {
  }
  if (const auto value = nimbra::TryStrToInt(input)) {
    if (nimbra::StrToInt(nimbra::IntToStr(*value)) != *value) std::abort();
  }
  if (const auto date = nimbra::TryParseDate(input)) {
    if (!date->IsValid()) std::abort();
    if (nimbra::ParseDate(nimbra::FormatDateTime("dd/mm/yyyy", *date)) != *date) std::abort();
  }
  // Any pattern formats without failing.
  nimbra::FormatDateTime(input, nimbra::DateTime{2026, 12, 7, 12, 16, 26, 45});
  return 0;
}
