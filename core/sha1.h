#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace nimbra {

using Sha1Digest = std::array<std::uint8_t, 20>;

// The digest function of the system's SHA-1 library: the standard SHA-1 of
// length bytes at input, written into digest[0..19].
void ComputeSHA1(const void* input, std::size_t length, std::uint8_t digest[20]);

Sha1Digest Sha1(std::span<const std::uint8_t> bytes);
Sha1Digest Sha1(std::string_view text);

class Stream;

// Incremental SHA-1 for data that arrives in pieces (streams, files).
class Sha1Hasher {
 public:
  Sha1Hasher();
  ~Sha1Hasher();
  Sha1Hasher(const Sha1Hasher&) = delete;
  Sha1Hasher& operator=(const Sha1Hasher&) = delete;

  void Update(const void* data, std::size_t length);
  void Update(std::span<const std::uint8_t> bytes) { Update(bytes.data(), bytes.size()); }
  // Hashes the rest of the stream from its current position.
  void Update(Stream& stream);
  // Returns the digest and starts over for a new message.
  Sha1Digest Final();

 private:
  void* context_;  // EVP_MD_CTX
};

}  // namespace nimbra
