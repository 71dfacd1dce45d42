#include "keys/letters.h"

#include <algorithm>

namespace nimbra::keys {

LetterTexts ToLetters(std::span<const std::uint8_t> bytes) {
  LetterTexts letters;
  letters.first.resize(bytes.size());
  letters.second.resize(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    letters.first[i] = static_cast<char>('A' + (bytes[i] & 15));
    letters.second[i] = static_cast<char>('A' + (bytes[i] >> 4));
  }
  return letters;
}

SecretBuffer FromLetters(std::string_view first, std::string_view second) {
  const std::size_t count = std::min(first.size(), second.size());
  SecretBuffer bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    const int low = static_cast<unsigned char>(first[i]) - 65;
    const int high = static_cast<unsigned char>(second[i]) - 65;
    bytes.data()[i] = static_cast<std::uint8_t>(low + high * 16);
  }
  return bytes;
}

}  // namespace nimbra::keys
