#include "engine/keys/secret_key.h"

#include <openssl/rand.h>

#include <cstring>

#include "core/sha1.h"
#include "engine/errors.h"
#include "engine/keys/key.h"
#include "engine/keystream/combiner.h"
#include "engine/keystream/mixture_generator.h"

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
SecretBuffer PassphraseSeed(std::string_view passphrase) {
  SecretBuffer seed(passphrase.substr(0, TSecretKey::kRandomSize));
  seed.Resize(TSecretKey::kRandomSize);
  return seed;
}

}  // namespace

// Whatever an operation leaves, the keyed state goes with it.
class TSecretKey::WipeAfter {
 public:
  explicit WipeAfter(TSecretKey& key) : key_(key) {}
  ~WipeAfter() { key_.Wipe(); }
  WipeAfter(const WipeAfter&) = delete;
  WipeAfter& operator=(const WipeAfter&) = delete;

 private:
  TSecretKey& key_;
};

TSecretKey::TSecretKey()
    : generator_a_(std::make_unique<TS3MixtureGenerator>(3, kSecretSizes)),
      combiner_a_(MakeCombiner(*generator_a_)),
      generator_b_(std::make_unique<TS3MixtureGenerator>(3, kSecretSizes)),
      combiner_b_(MakeCombiner(*generator_b_)) {}

TSecretKey::~TSecretKey() {
  Wipe();
}

void TSecretKey::Wipe() {
  generator_a_->Wipe();
  combiner_a_->Wipe();
  generator_b_->Wipe();
  combiner_b_->Wipe();
}

void TSecretKey::KeyGenerator(TS3MixtureGenerator& generator, const std::uint8_t seed[20]) {
  // seed | SHA-1(seed) | SHA-1 of that | SHA-1 of that: 80 bytes, of which
  // the key maker takes 607 bits.
  SecretBuffer material(std::span<const std::uint8_t>(seed, 20));
  material.Resize(80);
  for (int i = 1; i < 4; ++i)
    ComputeSHA1(material.data() + 20 * (i - 1), 20, material.data() + 20 * i);
  TKey key(kSecretSizes);
  key.MakeFromBytes(material.data(), 607);
  generator.LoadKey(key);
  for (int i = 1; i <= key.SubkeyCount(); ++i) key.Subkey(i)->Wipe();
  generator.ExpandFirst();
}

SecretBuffer TSecretKey::FreshRandom() const {
  SecretBuffer random(kRandomSize);
  if (RandomBytes != nullptr) {
    std::memcpy(random.data(), RandomBytes, kRandomSize);
  } else if (RAND_bytes(random.data(), kRandomSize) != 1) {
    throw EVRXCryptoNoRandomBits(msg::kNoRandomInput);
  }
  return random;
}

std::uint32_t TSecretKey::EncryptWithPassword(Stream& output, Stream& input,
                                              std::string_view passphrase) {
  const WipeAfter wipe(*this);
  SecretBuffer random = FreshRandom();
  KeyGenerator(*generator_a_, PassphraseSeed(passphrase).data());
  std::uint8_t enciphered_r[kRandomSize];
  std::memcpy(enciphered_r, random.data(), kRandomSize);
  combiner_a_->EncryptBuffer(kRandomSize, enciphered_r);

  KeyGenerator(*generator_b_, random.data());
  output.WriteBuffer(enciphered_r, kRandomSize);
  return combiner_b_->EncryptStream(output, input);
}

std::uint32_t TSecretKey::DecryptWithPassword(Stream& output, Stream& input, std::int64_t offset,
                                              std::string_view passphrase) {
  const WipeAfter wipe(*this);
  input.Seek(offset, SeekOrigin::Begin);
  SecretBuffer random(kRandomSize);
  if (input.Read(random.data(), kRandomSize) != kRandomSize)
    throw ESecretKeyDataTooShort(msg::kSecretDataTooShort);
  KeyGenerator(*generator_a_, PassphraseSeed(passphrase).data());
  combiner_a_->DecryptBuffer(kRandomSize, random.data());
  KeyGenerator(*generator_b_, random.data());
  return combiner_b_->DecryptStream(output, input);
}

std::uint32_t TSecretKey::EncryptBytes(std::vector<std::uint8_t>& result, const std::uint8_t* data,
                                       std::string_view passphrase, std::size_t count) {
  const WipeAfter wipe(*this);
  const SecretBuffer random = FreshRandom();
  // Enciphered in place: the plain bytes never sit anywhere but here, where
  // their cipher text replaces them.
  result.assign(random.data(), random.data() + kRandomSize);
  result.resize(kRandomSize + count);
  if (count) std::memcpy(result.data() + kRandomSize, data, count);
  KeyGenerator(*generator_a_, PassphraseSeed(passphrase).data());
  combiner_a_->EncryptBuffer(kRandomSize, result.data());
  KeyGenerator(*generator_b_, random.data());
  return combiner_b_->EncryptBuffer(count, result.data() + kRandomSize);
}

std::uint32_t TSecretKey::DecryptBytes(SecretBuffer& result, const std::uint8_t* data,
                                       std::string_view passphrase, std::size_t count) {
  const WipeAfter wipe(*this);
  if (count < kRandomSize || data == nullptr)
    throw ESecretKeyDataTooShort(msg::kSecretDataTooShort);
  SecretBuffer random(std::span<const std::uint8_t>(data, kRandomSize));
  KeyGenerator(*generator_a_, PassphraseSeed(passphrase).data());
  combiner_a_->DecryptBuffer(kRandomSize, random.data());
  KeyGenerator(*generator_b_, random.data());
  result.Assign(std::span<const std::uint8_t>(data + kRandomSize, count - kRandomSize));
  const std::uint32_t crc = combiner_b_->DecryptBuffer(result.size(), result.data());
  result.Resize(result.size() + 1);
  return crc;
}

}  // namespace nimbra::engine
