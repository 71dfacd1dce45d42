#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/secret_buffer.h"

namespace nimbra::keys {

// The letter form of a key block: two texts of equal length over the letters
// A to P. For each byte the first text gets "A" + (byte mod 16) and the second
// "A" + (byte div 16).
struct LetterTexts {
  std::string first;   // PublicKey1 / EncryptedPrivateKey1
  std::string second;  // PublicKey2 / EncryptedPrivateKey2
  bool operator==(const LetterTexts&) const = default;
};

LetterTexts ToLetters(std::span<const std::uint8_t> bytes);

// The inverse: each pair (l from the first text, h from the second) gives the
// byte (l - 65) + (h - 65) * 16, kept to 8 bits. Texts of unequal length are
// decoded over the shorter one. The bytes may be a plain key block: they are
// held as a secret.
SecretBuffer FromLetters(std::string_view first, std::string_view second);

}  // namespace nimbra::keys
