#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra {

// Two hexadecimal digits per byte, high nibble first.
std::string HexLower(std::span<const std::uint8_t> bytes);
std::string HexUpper(std::span<const std::uint8_t> bytes);

// Reads hexadecimal text (digits of either case, two per byte, nothing
// else). Raises ConvertError for an odd length or a non-hex character,
// naming the offending position.
std::vector<std::uint8_t> HexToBytes(std::string_view text);

}  // namespace nimbra
