#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra {

// Standard base64 alphabet (A-Z a-z 0-9 + /) with "=" filling the last group.
// line_length 0 gives one line; otherwise a CR LF follows every full line of
// line_length characters, and none follows the last (short or full) line.
// The mail attachments and key texts use 60.
std::string Base64Encode(std::span<const std::uint8_t> bytes, std::size_t line_length = 0);

// The encoded text broken into lines of line_length characters (the last may
// be shorter), without line ends: what a mail composer appends line by line.
std::vector<std::string> Base64Lines(std::span<const std::uint8_t> bytes,
                                     std::size_t line_length = 60);

// Decodes base64, skipping CR, LF, blanks and tabs anywhere. Padding may be
// present or left out; raises ConvertError for a character outside the
// alphabet, data after the padding, or a dangling single character.
std::vector<std::uint8_t> Base64Decode(std::string_view text);

}  // namespace nimbra
