#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace nimbra::keys {

// The texts of a DSA key pair: "/DSA PUBLIC KEY,VR:" q ",VR:" p ",VR:" g
// ",VR:" y and "/DSA PRIVATE KEY,VR:" q ",VR:" p ",VR:" g ",VR:" y ",VR:" x,
// the numbers as upper-case hexadecimal digits.
struct DsaKeyTexts {
  std::string publicText;
  std::string privateText;
};

// A new key pair: parameters with p of 1024 bits and q of 160 bits made by
// the FIPS 186-2 generator from the seed (a seed that yields no prime is
// replaced by a random one, as that generator does). Raises EKeysError when
// the library fails.
DsaKeyTexts GenerateDsaKey(std::span<const std::uint8_t> seed);

// Whether the DER signature given as hexadecimal digits is a valid DSA
// signature of the SHA-1 digest of text under the public-key text (or a
// private-key text, whose first four numbers are read). False for texts that
// do not read as a key or a signature.
bool VerifyDsaSignature(std::string_view keyText, std::string_view text,
                        std::string_view signatureHex);

// The DER signature of the SHA-1 digest of text under a private-key text,
// as upper-case hexadecimal digits. Raises EKeysError when the text is no
// private key.
std::string SignDsa(std::string_view privateText, std::string_view text);

}  // namespace nimbra::keys
