// The crypto component: settings, key pairs and the exchange of ciphertexts.

#include "engine/keys/vrx_crypto.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/crc32.h"
#include "engine/errors.h"
#include "engine/tests/gf_literal.h"

namespace nimbra::engine {
namespace {

constexpr TGeneratorSizes kStrong = 28, kExtreme = 44;

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> v(count);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

// A seeded generator for per-message keys (priming it is the costly part).
TRandomGen& TestRandomGen() {
  static TRandomGen gen;
  static const std::uint8_t seed[] = "per-message keys for the tests";
  if (!gen.Seeded()) {
    gen.SetSeedData(seed);
    gen.SetSeedLength(sizeof seed);
    gen.Seed();
  }
  return gen;
}

std::vector<std::uint8_t> SaveKey(const TKey& key) {
  MemoryStream s;
  key.SaveToStream(s);
  return s.Data();
}

TEST(VRXCrypto, NewComponentDefaults) {
  TVRXCrypto c;
  EXPECT_EQ(c.BlockSize(), 2048);
  EXPECT_EQ(c.Granularity(), gByte);
  EXPECT_EQ(c.GeneratorSizes(), 22);
  EXPECT_EQ(c.SizesName(), "X22");
  EXPECT_EQ(c.LargestGeneratorLength(), 607);
  ASSERT_NE(c.RandomSource(), nullptr);
  EXPECT_EQ(c.RandomSource()->Capacity(), 8192);
  c.SetRandomBufferSize(2048);
  EXPECT_EQ(c.RandomSource()->Capacity(), 8192);
  EXPECT_EQ(c.RandomBufferSize(), 8192);
  c.SetTableDirectory("C:\\Tables");
  EXPECT_EQ(c.TableDirectory(), "C:\\Tables\\");
}

TEST(VRXCrypto, InvalidSizeSetLeavesTheEngineUnchanged) {
  TVRXCrypto c;
  TPrivateKey* before = &c.PrivateKey();
  try {
    c.SetGeneratorSizes(30);
    FAIL() << "no exception";
  } catch (const EVRXCryptoInvalidGeneratorSizes& e) {
    EXPECT_STREQ(e.what(), "Must specify exactly 3 subgenerators.");
  }
  EXPECT_EQ(c.GeneratorSizes(), 22);
  EXPECT_EQ(&c.PrivateKey(), before);
  c.SetGeneratorSizes(kExtreme);
  EXPECT_EQ(c.SizesName(), "X44");
  EXPECT_EQ(c.PrivateKey().Subkey(1)->BitCount(), 1279);
}

TEST(VRXCrypto, PrivateKeyFailures) {
  TVRXCrypto c;
  const std::uint8_t byte = 1;
  EXPECT_THROW(
      {
        try {
          c.MakePrivateKey(&byte, 0);
        } catch (const EVRXCryptoEmptyKey& e) {
          EXPECT_STREQ(e.what(), "Zero bytes available for private key.");
          throw;
        }
      },
      EVRXCryptoEmptyKey);
  MemoryStream empty;
  try {
    c.MakePrivateKeyFromStream(empty);
    FAIL() << "no exception";
  } catch (const EVRXCryptoEmptyKey& e) {
    EXPECT_STREQ(e.what(), "Zero bytes available for private key.");
  }
  struct FailingStream : MemoryStream {
    std::size_t Read(void*, std::size_t) override { throw StreamError("disk gone"); }
  } failing;
  try {
    c.MakePrivateKeyFromStream(failing);
    FAIL() << "no exception";
  } catch (const EVRXCryptoEmptyKey& e) {
    EXPECT_STREQ(e.what(), "Unable to read from stream.");
  }
}

TEST(VRXCrypto, PrivateKeyIsTheSeedScrambledByAMillionRegisterSteps) {
  TVRXCrypto c;
  c.SetGeneratorSizes(kStrong);
  c.SetGranularity(gBit);
  const auto seed = Bytes(50, 1);
  c.MakePrivateKey(seed.data(), 50);

  TKey seeded(kStrong);
  seeded.MakeFromBytes(seed.data(), 400);
  TShiftReg reg(607, 273);
  reg.LoadState(*seeded.Subkey(1));
  reg.Clock(1000000);
  EXPECT_EQ(
      literal::Words(c.PrivateKey().Subkey(1)->Words(), c.PrivateKey().Subkey(1)->Words() + 19),
      literal::StateWords(reg));
  EXPECT_EQ(c.PrivateKey().Granularity(), gBit);
  EXPECT_EQ(c.PrivateKey().BlockSize(), 2048);
  // Subkeys 2 and 3 keep only their bit 0.
  EXPECT_EQ(c.PrivateKey().Subkey(2)->Words()[0], 0x80000000u);

  c.ComputePublicKey(c.PublicKey(), c.PrivateKey());
  EXPECT_EQ(SaveKey(c.PublicKey()).size(), 212u);
  EXPECT_EQ(c.PublicKey().KeyId().size(), 8u);
}

// Sender and receiver with the same sizes exchange a ciphertext.
void ExpectExchange(TGeneratorSizes sizes, TGranularity granularity, std::size_t length) {
  TVRXCrypto receiver;
  receiver.SetGeneratorSizes(sizes);
  receiver.SetGranularity(granularity);
  const auto seed = Bytes(50, sizes);
  receiver.MakePrivateKey(seed.data(), 50);
  receiver.ComputePublicKey(receiver.PublicKey(), receiver.PrivateKey());
  MemoryStream public_stream(SaveKey(receiver.PublicKey()));

  TVRXCrypto sender;
  sender.RandomGen = &TestRandomGen();
  sender.PublicKey().LoadFromStream(public_stream);
  EXPECT_EQ(sender.GeneratorSizes(), sizes);

  const auto plain = Bytes(length, 7);
  MemoryStream in(plain), cipher, out;
  std::string key_id;
  const std::uint32_t crc = sender.EncryptStream(cipher, in, true, key_id);
  EXPECT_EQ(key_id, receiver.PublicKey().KeyId());
  EXPECT_EQ(crc, TCRC32(plain.size(), plain.data()).Digest());
  // x^k key stream, ciphertext header, then as many bytes as the input.
  ASSERT_EQ(cipher.Data().size(), SaveKey(receiver.PublicKey()).size() + 52 + length);
  if (length > 0) {
    EXPECT_NE(std::vector<std::uint8_t>(cipher.Data().end() - length, cipher.Data().end()), plain);
  }

  cipher.SetPosition(0);
  EXPECT_EQ(receiver.DecryptStream(out, cipher), crc);
  EXPECT_EQ(out.Data(), plain);
}

TEST(VRXCrypto, TwoComponentsExchangeACiphertext) {
  ExpectExchange(kStrong, gBit, 3000);
  ExpectExchange(kExtreme, gByte, 1024);
  ExpectExchange(22, gByte, 0);
}

TEST(VRXCrypto, LoadingAKeyOfOtherSizesSwitchesTheComponent) {
  TVRXCrypto source;
  source.SetGeneratorSizes(kExtreme);
  const auto seed = Bytes(20, 2);
  source.MakePrivateKey(seed.data(), 20);
  source.ComputePublicKey(source.PublicKey(), source.PrivateKey());
  const auto stream_bytes = SaveKey(source.PublicKey());
  ASSERT_EQ(stream_bytes.size(), 296u);

  TVRXCrypto c;
  c.SetGeneratorSizes(kStrong);
  TPublicKey* before = &c.PublicKey();
  MemoryStream s(stream_bytes);
  before->LoadFromStream(s);
  EXPECT_EQ(c.GeneratorSizes(), kExtreme);
  EXPECT_NE(&c.PublicKey(), before);
  EXPECT_TRUE(c.PublicKey().Equals(source.PublicKey()));
}

TEST(VRXCrypto, RandomBitsComeFromTheGeneratorOrAreRequestedFromTheSource) {
  TVRXCrypto c;
  c.SetGeneratorSizes(kStrong);
  int requested = -1;
  c.OnNeedRandomBits = [&](TCustomVRXCrypto&, int bits) { requested = bits; };
  try {
    c.MakeRandomKey(c.LargestGeneratorLength());
    FAIL() << "no exception";
  } catch (const EVRXCryptoNoRandomBits& e) {
    EXPECT_STREQ(e.what(), "Unable to acquire sufficient random input to create random key.");
  }
  EXPECT_EQ(requested, 1214);

  requested = -1;
  c.RandomGen = &TestRandomGen();
  c.MakeRandomKey(c.LargestGeneratorLength());
  EXPECT_EQ(requested, -1);
}

TEST(VRXCrypto, EachMessageKeyConsumesItsOwnSourceBits) {
  TVRXCrypto c;
  c.SetGeneratorSizes(kStrong);
  TMouseRandomSource& source = *c.RandomSource();
  std::mt19937 rng(9);
  for (int i = 0; i < 4 * 1214 / 8 + 8; ++i) source.AddMouseSample(0, rng(), rng());
  const int held = source.Count();
  c.MakeRandomKey(607);
  EXPECT_EQ(source.Count(), held - 1214);
  TKey first(c.MessageKey());
  c.MakeRandomKey(607);
  EXPECT_EQ(source.Count(), held - 2 * 1214);
  EXPECT_FALSE(first.Equals(c.MessageKey()));
}

TEST(VRXCrypto, ZeroKeysAreRejected) {
  TVRXCrypto c;
  c.RandomGen = &TestRandomGen();
  MemoryStream in(Bytes(10, 3)), out;
  std::string id;
  EXPECT_THROW(c.EncryptStream(out, in, false, id), EKeyInvalidBitsZero);

  // A ciphertext whose x^k is zero.
  const auto seed = Bytes(10, 4);
  c.MakePrivateKey(seed.data(), 10);
  MemoryStream cipher;
  TKey(22).SaveToStream(cipher);
  TCiphertextHeader().SaveToStream(cipher);
  cipher.Write("abc", 3);
  cipher.SetPosition(0);
  EXPECT_THROW(c.DecryptStream(out, cipher), EKeyInvalidBitsZero);
}

TEST(VRXCrypto, BaseClassHasNoDialog) {
  struct Bare : TVRXCrypto {
    void CaptureMouseEntropy(TCustomVRXCrypto& s, int bits) override {
      TCustomVRXCrypto::CaptureMouseEntropy(s, bits);
    }
  } c;
  try {
    c.MakeRandomKey(0);
    FAIL() << "no exception";
  } catch (const EVRXCryptoNoRandomBits& e) {
    EXPECT_STREQ(e.what(), "No event handler assigned for OnNeedRandomBits event.");
  }
}

}  // namespace
}  // namespace nimbra::engine
