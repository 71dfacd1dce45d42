#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra {

// The value of a hexadecimal digit of either case; -1 for any other
// character.
constexpr int HexDigitValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  return -1;
}

// Two hexadecimal digits per byte, high nibble first.
std::string HexLower(std::span<const std::uint8_t> bytes);
std::string HexUpper(std::span<const std::uint8_t> bytes);

// Reads hexadecimal text (digits of either case, two per byte, nothing
// else). Raises ConvertError for an odd length or a non-hex character,
// naming the offending position.
std::vector<std::uint8_t> HexToBytes(std::string_view text);

}  // namespace nimbra
