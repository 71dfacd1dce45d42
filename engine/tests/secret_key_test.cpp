#include "engine/keys/secret_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/crc32.h"
#include "engine/errors.h"

using namespace nimbra::engine;
using nimbra::MemoryStream;
using nimbra::SecretBuffer;

namespace {

const std::uint8_t kRandomA[20] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                   11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
const std::uint8_t kRandomB[20] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 8};

std::vector<std::uint8_t> Encrypt(const std::string& data, const std::string& pass,
                                  const std::uint8_t* random) {
  TSecretKey sk;
  sk.RandomBytes = random;
  std::vector<std::uint8_t> out;
  sk.EncryptBytes(out, reinterpret_cast<const std::uint8_t*>(data.data()), pass, data.size());
  return out;
}

TEST(SecretKey, EmptyDataIsTwentyBytes) {
  const auto protected_data = Encrypt("", "pass", kRandomA);
  ASSERT_EQ(protected_data.size(), 20u);
  TSecretKey sk;
  SecretBuffer plain;
  EXPECT_EQ(sk.DecryptBytes(plain, protected_data.data(), "pass", 20), 0u);
  EXPECT_EQ(plain, std::string_view("\0", 1));  // no data, then the zero byte
}

// Protected data of more than one 2048-byte block, as this engine has always
// made it (a fixed random value and pass phrase).
TEST(SecretKey, ProtectedBytesStayAsTheyWere) {
  std::string data;
  for (int i = 0; i < 2500; ++i) data.push_back(static_cast<char>((i * 7 + 3) & 0xff));
  TSecretKey sk;
  sk.RandomBytes = kRandomA;
  std::vector<std::uint8_t> out;
  const std::uint32_t crc = sk.EncryptBytes(out, reinterpret_cast<const std::uint8_t*>(data.data()),
                                            "golden pass", data.size());
  EXPECT_EQ(crc, 0x4c357dedu);
  ASSERT_EQ(out.size(), 2520u);
  std::uint64_t fnv = 1469598103934665603ull;
  for (std::uint8_t b : out) fnv = (fnv ^ b) * 1099511628211ull;
  EXPECT_EQ(fnv, 0x61414d716414d48full);
  const std::uint8_t head[8] = {0x5b, 0x09, 0x17, 0x2f, 0x36, 0x87, 0x12, 0x4d};
  EXPECT_TRUE(std::equal(head, head + 8, out.begin()));
  // The stream form gives the same bytes.
  MemoryStream in(data.data(), data.size());
  MemoryStream streamed;
  EXPECT_EQ(sk.EncryptWithPassword(streamed, in, "golden pass"), crc);
  EXPECT_EQ(streamed.Data(), out);
}

TEST(SecretKey, RoundTripWithCrcAndTrailingZero) {
  const std::string data = "private key material \x01\x02\x03 and more, longer than a block";
  const auto protected_data = Encrypt(data, "correct horse", kRandomA);
  ASSERT_EQ(protected_data.size(), data.size() + 20);
  TSecretKey sk;
  SecretBuffer plain;
  const auto crc =
      sk.DecryptBytes(plain, protected_data.data(), "correct horse", protected_data.size());
  EXPECT_EQ(crc, TCRC32::Of(data.size(), data.data()));
  ASSERT_EQ(plain.size(), data.size() + 1);
  EXPECT_EQ(plain.Text().substr(0, data.size()), data);
  EXPECT_EQ(plain.data()[data.size()], 0);

  // A wrong pass phrase is not detected, but the CRC differs.
  SecretBuffer wrong;
  EXPECT_NE(sk.DecryptBytes(wrong, protected_data.data(), "wrong", protected_data.size()), crc);

  // Stream form with the protected data at an offset.
  MemoryStream in;
  in.WriteBuffer("HEAD", 4);
  in.WriteBytes(protected_data);
  MemoryStream out;
  EXPECT_EQ(sk.DecryptWithPassword(out, in, 4, "correct horse"), crc);
  EXPECT_EQ(std::string(out.Data().begin(), out.Data().end()), data);
}

TEST(SecretKey, RandomBytesAndPassPhraseSeeds) {
  const std::string data(100, 'x');
  const auto a1 = Encrypt(data, "pw", kRandomA);
  const auto a2 = Encrypt(data, "pw", kRandomA);
  const auto b = Encrypt(data, "pw", kRandomB);
  EXPECT_EQ(a1, a2);
  EXPECT_NE(std::vector<std::uint8_t>(a1.begin(), a1.begin() + 20),
            std::vector<std::uint8_t>(b.begin(), b.begin() + 20));
  EXPECT_NE(std::vector<std::uint8_t>(a1.begin() + 20, a1.end()),
            std::vector<std::uint8_t>(b.begin() + 20, b.end()));
  // Only the first 20 characters count; an empty phrase is 20 zero bytes.
  EXPECT_EQ(Encrypt(data, "abcdefghijklmnopqrstUVW", kRandomA),
            Encrypt(data, "abcdefghijklmnopqrstXYZ", kRandomA));
  EXPECT_EQ(Encrypt(data, "", kRandomA), Encrypt(data, std::string(20, '\0'), kRandomA));
  EXPECT_NE(Encrypt(data, "", kRandomA), a1);
  // Without caller-supplied bytes the operating system supplies them.
  EXPECT_NE(Encrypt(data, "pw", nullptr), Encrypt(data, "pw", nullptr));
}

TEST(SecretKey, DataShorterThanTheRandomPrefixIsRejected) {
  TSecretKey sk;
  SecretBuffer out;
  const std::uint8_t bytes[19] = {};
  EXPECT_THROW(sk.DecryptBytes(out, bytes, "pw", 19), ESecretKeyDataTooShort);
  EXPECT_THROW(sk.DecryptBytes(out, nullptr, "pw", 0), ESecretKeyDataTooShort);
}

}  // namespace
