#include "engine/secret_key.h"

#include <openssl/rand.h>

#include <cstring>

#include "core/sha1.h"
#include "engine/combiner.h"
#include "engine/errors.h"
#include "engine/key.h"
#include "engine/mixture_generator.h"

namespace nimbra::engine {

namespace {

// {89, 127, 607}: registers of 607, 127 and 89 bits.
constexpr TGeneratorSizes kSecretSizes = 22;
constexpr int kSecretBlockSize = 2048;

std::unique_ptr<TCombiner> MakeCombiner(TS3MixtureGenerator& generator) {
  auto combiner = std::make_unique<TCombiner>(generator);
  combiner->SetBlockSize(kSecretBlockSize);
  combiner->SetByteMode(true);
  return combiner;
}

// The first 20 characters of the pass phrase, zero-padded.
void PassphraseSeed(const std::string& passphrase, std::uint8_t seed[20]) {
  std::memset(seed, 0, 20);
  std::memcpy(seed, passphrase.data(), std::min<std::size_t>(passphrase.size(), 20));
}

}  // namespace

TSecretKey::TSecretKey()
    : generator_a_(std::make_unique<TS3MixtureGenerator>(3, kSecretSizes)),
      combiner_a_(MakeCombiner(*generator_a_)),
      generator_b_(std::make_unique<TS3MixtureGenerator>(3, kSecretSizes)),
      combiner_b_(MakeCombiner(*generator_b_)) {}

TSecretKey::~TSecretKey() = default;

void TSecretKey::KeyGenerator(TS3MixtureGenerator& generator, const std::uint8_t seed[20]) {
  // seed | SHA-1(seed) | SHA-1 of that | SHA-1 of that: 80 bytes, of which
  // the key maker takes 607 bits.
  std::uint8_t material[80];
  std::memcpy(material, seed, 20);
  for (int i = 1; i < 4; ++i) ComputeSHA1(material + 20 * (i - 1), 20, material + 20 * i);
  TKey key(kSecretSizes);
  key.MakeFromBytes(material, 607);
  generator.LoadKey(key);
  generator.ExpandFirst();
}

std::uint32_t TSecretKey::EncryptWithPassword(Stream& output, Stream& input,
                                              const std::string& passphrase) {
  std::uint8_t random[kRandomSize];
  if (RandomBytes != nullptr) {
    std::memcpy(random, RandomBytes, kRandomSize);
  } else if (RAND_bytes(random, kRandomSize) != 1) {
    throw EVRXCryptoNoRandomBits(msg::kNoRandomInput);
  }
  std::uint8_t seed[20];
  PassphraseSeed(passphrase, seed);
  KeyGenerator(*generator_a_, seed);
  MemoryStream plain_r(random, kRandomSize);
  MemoryStream enciphered_r;
  combiner_a_->EncryptStream(enciphered_r, plain_r);

  KeyGenerator(*generator_b_, random);
  MemoryStream enciphered_data;
  const std::uint32_t crc = combiner_b_->EncryptStream(enciphered_data, input);

  output.WriteBuffer(enciphered_r.Data().data(), enciphered_r.Data().size());
  output.WriteBuffer(enciphered_data.Data().data(), enciphered_data.Data().size());
  return crc;
}

std::uint32_t TSecretKey::DecryptWithPassword(Stream& output, Stream& input, std::int64_t offset,
                                              const std::string& passphrase) {
  input.Seek(offset, SeekOrigin::Begin);
  std::uint8_t head[kRandomSize];
  if (input.Read(head, kRandomSize) != kRandomSize)
    throw ESecretKeyDataTooShort(msg::kSecretDataTooShort);
  MemoryStream enciphered_r(head, kRandomSize);
  MemoryStream enciphered_data;
  const std::int64_t rest = input.Size() - input.Position();
  if (rest > 0) enciphered_data.CopyFrom(input, rest);  // a count of 0 would copy everything
  enciphered_data.SetPosition(0);

  std::uint8_t seed[20];
  PassphraseSeed(passphrase, seed);
  KeyGenerator(*generator_a_, seed);
  MemoryStream random;
  combiner_a_->DecryptStream(random, enciphered_r);

  KeyGenerator(*generator_b_, random.Data().data());
  return combiner_b_->DecryptStream(output, enciphered_data);
}

std::uint32_t TSecretKey::EncryptBytes(std::vector<std::uint8_t>& result, const std::uint8_t* data,
                                       const std::string& passphrase, std::size_t count) {
  MemoryStream input(data, count);
  MemoryStream output;
  const std::uint32_t crc = EncryptWithPassword(output, input, passphrase);
  result = std::move(output.Data());
  return crc;
}

std::uint32_t TSecretKey::DecryptBytes(std::vector<std::uint8_t>& result, const std::uint8_t* data,
                                       const std::string& passphrase, std::size_t count) {
  MemoryStream input(data, count);
  MemoryStream output;
  const std::uint32_t crc = DecryptWithPassword(output, input, 0, passphrase);
  result = std::move(output.Data());
  result.push_back(0);
  return crc;
}

}  // namespace nimbra::engine
