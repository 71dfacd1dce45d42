#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/secret_buffer.h"
#include "core/stream.h"

namespace nimbra::engine {

class TS3MixtureGenerator;
class TCombiner;

// Protects data under a pass phrase. A 20-byte random value R keys the
// cipher for the data; a key derived from the pass phrase enciphers R, which
// is stored in front: [R enciphered (20 bytes)][data enciphered (N bytes)].
// A wrong pass phrase is not detected: it yields other bytes, and callers
// check the returned CRC-32 or the content.
class TSecretKey {
 public:
  static constexpr std::size_t kRandomSize = 20;

  TSecretKey();
  ~TSecretKey();
  TSecretKey(const TSecretKey&) = delete;
  TSecretKey& operator=(const TSecretKey&) = delete;

  // At least 20 random bytes for the next encryption (not owned). When none
  // are set, 20 bytes are drawn from the operating system's random source.
  const std::uint8_t* RandomBytes = nullptr;

  // Returns the CRC-32 of the data.
  std::uint32_t EncryptWithPassword(Stream& output, Stream& input, std::string_view passphrase);
  // Reads from offset to the end of input; raises ESecretKeyDataTooShort
  // when fewer than 20 bytes are there. Returns the CRC-32 of the data.
  std::uint32_t DecryptWithPassword(Stream& output, Stream& input, std::int64_t offset,
                                    std::string_view passphrase);
  // result receives count + 20 bytes.
  std::uint32_t EncryptBytes(std::vector<std::uint8_t>& result, const std::uint8_t* data,
                             std::string_view passphrase, std::size_t count);
  // result receives count - 20 bytes followed by one zero byte.
  std::uint32_t DecryptBytes(SecretBuffer& result, const std::uint8_t* data,
                             std::string_view passphrase, std::size_t count);

  // Overwrites the generators' and combiners' keyed state. Every operation
  // does so when it ends, and so does the destructor: the pass phrase's
  // seed, the random value and what was keyed from them do not outlive it.
  void Wipe();

 private:
  class WipeAfter;
  void KeyGenerator(TS3MixtureGenerator& generator, const std::uint8_t seed[20]);
  SecretBuffer FreshRandom() const;

  std::unique_ptr<TS3MixtureGenerator> generator_a_;
  std::unique_ptr<TCombiner> combiner_a_;
  std::unique_ptr<TS3MixtureGenerator> generator_b_;
  std::unique_ptr<TCombiner> combiner_b_;
};

}  // namespace nimbra::engine
