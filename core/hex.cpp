#include "core/hex.h"

#include "core/error.h"

namespace nimbra {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes, const char* digits) {
  std::string out(bytes.size() * 2, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out[2 * i] = digits[bytes[i] >> 4];
    out[2 * i + 1] = digits[bytes[i] & 0x0F];
  }
  return out;
}

}  // namespace

std::string HexLower(std::span<const std::uint8_t> bytes) {
  return Hex(bytes, "0123456789abcdef");
}

std::string HexUpper(std::span<const std::uint8_t> bytes) {
  return Hex(bytes, "0123456789ABCDEF");
}

std::vector<std::uint8_t> HexToBytes(std::string_view text) {
  if (text.size() % 2 != 0) {
    throw ConvertError("hexadecimal text has an odd number of digits (" +
                       std::to_string(text.size()) + ")");
  }
  std::vector<std::uint8_t> out(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int v = HexDigitValue(text[i]);
    if (v < 0) {
      throw ConvertError("invalid hexadecimal digit at position " + std::to_string(i + 1));
    }
    out[i / 2] = static_cast<std::uint8_t>(i % 2 == 0 ? v << 4 : out[i / 2] | v);
  }
  return out;
}

}  // namespace nimbra
