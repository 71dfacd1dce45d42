#pragma once

// The byte formats inside "Message.VRX" (described in docs/mail-envelope.md):
// the compressed message stream, the 58-byte trailer that follows it before
// encryption, and the envelope header in front of the engine's ciphertext.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::keys {

// A damaged or foreign envelope; the text says what did not match.
class EnvelopeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---- compressed message stream ----
inline constexpr std::uint8_t kStored = 0;
inline constexpr std::uint8_t kDeflated = 1;
// Method byte, the original size (4 bytes, little-endian), then the bytes as
// they are (stored) or as a zlib stream (deflated, at the given level).
std::vector<std::uint8_t> CompressMessage(std::span<const std::uint8_t> plain, int level);
// Raises EnvelopeError for an unknown method, a damaged zlib stream or a size
// that does not match.
std::vector<std::uint8_t> DecompressMessage(std::span<const std::uint8_t> stream);

// ---- trailer ----
inline constexpr std::size_t kTrailerSize = 58;
struct Trailer {
  std::string keyId;                       // the recipient key's KEY_ID (8 characters)
  std::uint32_t streamLength = 0;          // length of the compressed stream before the trailer
  std::array<std::uint8_t, 20> digest{};   // SHA-1 of the plain message
  std::array<std::uint8_t, 14> derived{};  // sender-side value, see MakeDerived
};
// The first 14 bytes of SHA-1(KEY_ID + database password + recipient address).
std::array<std::uint8_t, 14> MakeDerived(std::string_view keyId,
                                         std::span<const std::uint8_t> password,
                                         std::string_view recipient);
std::array<std::uint8_t, kTrailerSize> WriteTrailer(const Trailer& trailer);
// Raises EnvelopeError unless the markers and the check value match.
Trailer ReadTrailer(std::span<const std::uint8_t> bytes);

// ---- envelope header ----
struct EnvelopeHeader {
  std::string recipient;
  std::string keyId;
  std::size_t size = 0;  // bytes of the header; the ciphertext follows
};
std::vector<std::uint8_t> WriteEnvelopeHeader(std::string_view recipient, std::string_view keyId);
// Raises EnvelopeError when the bytes do not start with a complete header.
EnvelopeHeader ReadEnvelopeHeader(std::span<const std::uint8_t> bytes);

// The prepared message (compressed stream + trailer) for a key: raises
// EnvelopeError when the trailer, the key or the digest do not match;
// returns the plain message.
std::vector<std::uint8_t> OpenPreparedMessage(std::span<const std::uint8_t> prepared,
                                              std::string_view keyId);

}  // namespace nimbra::keys

namespace nimbra::keys {

// The bytes of "Message.VRX": the file itself when it starts with "MAIL",
// else the base64 attachment of that name in a queued envelope message.
// Raises EnvelopeError when there is none.
std::vector<std::uint8_t> EnvelopeBytes(std::string_view file);

}  // namespace nimbra::keys
