#include "engine/keys/key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/errors.h"
#include "engine/keys/vrx_header.h"
#include "engine/tests/message_of.h"

using namespace nimbra::engine;
using nimbra::MemoryStream;

namespace {

std::vector<std::uint8_t> Seed(std::size_t n) {
  std::vector<std::uint8_t> seed(n);
  for (std::size_t i = 0; i < n; ++i) seed[i] = static_cast<std::uint8_t>(i * 151 + 7);
  return seed;
}

TEST(Header, EachClassSavesItsLengthCodeAndName) {
  TVRXHeader plain;
  TVRXPowerTableHeader table;
  TKeyHeader key;
  TCiphertextHeader cipher;
  const TVRXHeader* headers[] = {&plain, &table, &key, &cipher};
  const std::uint32_t lengths[] = {24, 28, 40, 52};
  for (int i = 0; i < 4; ++i) {
    MemoryStream s;
    headers[i]->SaveToStream(s);
    const auto& d = s.Data();
    ASSERT_EQ(d.size(), lengths[i]);
    const std::uint8_t prefix[] = {
        static_cast<std::uint8_t>(lengths[i]), 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0,
        static_cast<std::uint8_t>(i),          8};
    EXPECT_EQ(std::memcmp(d.data(), prefix, sizeof prefix), 0) << i;
    EXPECT_EQ(std::string(d.begin() + 14, d.begin() + 22), "VRX_____");
    EXPECT_EQ(d[22] | d[23], 0);
  }
}

TEST(Header, LoadChecksNameCodeAndLength) {
  MemoryStream s;
  TCiphertextHeader cipher;
  cipher.SetRecipientKeyId("0badf00d");
  cipher.SaveToStream(s);
  s.SetPosition(0);
  TKeyHeader key;
  EXPECT_EQ(MessageOf<EVRXHeaderWrongCode>([&] { key.LoadFromStream(s); }), "Not a key");
  s.SetPosition(0);
  TCiphertextHeader back;
  back.LoadFromStream(s);
  EXPECT_EQ(back.RecipientKeyId(), "0badf00d");
  EXPECT_EQ(s.Data()[29], 8);

  auto bytes = s.Data();
  std::memcpy(bytes.data() + 14, "ABC_____", 8);
  MemoryStream bad(bytes);
  EXPECT_EQ(MessageOf<EVRXHeaderBadPrefix>([&] { back.LoadFromStream(bad); }),
            "Invalid header prefix ID: ABC_____");
  MemoryStream short_stream(bytes.data(), 10);
  EXPECT_EQ(MessageOf<EVRXHeaderStreamLoadFailure>([&] { key.LoadFromStream(short_stream); }),
            "Error loading header: TKeyHeader");
}

TEST(Header, LongerHeadersAreSkippedShorterOnesRejected) {
  TKeyHeader key;
  key.SubkeyCount = 3;
  key.Sizes = 28;
  MemoryStream s;
  key.SaveToStream(s);
  auto bytes = s.Data();
  bytes[0] = 48;
  bytes.insert(bytes.end(), 8, 0xEE);
  bytes.push_back(0x42);
  MemoryStream longer(bytes);
  TKeyHeader back;
  back.LoadFromStream(longer);
  EXPECT_EQ(back.Sizes, 28);
  EXPECT_EQ(longer.Position(), 48);

  bytes[0] = 30;  // shorter than a key header: would seek backwards
  MemoryStream shorter(bytes);
  EXPECT_EQ(MessageOf<EVRXHeaderStreamLoadFailure>([&] { back.LoadFromStream(shorter); }),
            "Error loading header: TKeyHeader");
}

TEST(Key, SizesAndStreamLengths) {
  TKey k28(28), k44(44), empty(0);
  EXPECT_EQ(k28.SubkeyCount(), 3);
  EXPECT_EQ(k28.TotalBits(), 1255);
  EXPECT_EQ(k28.Subkey(1)->BitCount(), 607);
  EXPECT_EQ(k28.Subkey(3)->BitCount(), 127);
  EXPECT_EQ(k44.Subkey(1)->BitCount(), 1279);
  EXPECT_EQ(empty.Subkey(1), nullptr);
  EXPECT_EQ(k44.FieldParameters().mid_tap, 418);
  EXPECT_EQ(MessageOf<EKey>([&] { empty.FieldParameters(); }), "Key sizes empty");
  MemoryStream s28, s44;
  k28.SaveToStream(s28);
  k44.SaveToStream(s44);
  EXPECT_EQ(s28.Size(), 212);
  EXPECT_EQ(s44.Size(), 296);
}

TEST(Key, MakeFromBytesFillsSubkeyOneAndTerminates) {
  TKey key(28);
  const auto seed = Seed(50);
  key.MakeFromBytes(seed.data(), 400);
  const TSubKey& first = *key.Subkey(1);
  for (int i = 0; i < 400; ++i) ASSERT_EQ(first.GetBit(i), (seed[i / 8] >> (7 - i % 8)) & 1) << i;
  EXPECT_EQ(first.GetBit(400), 1);
  for (int i = 401; i < 607; ++i) ASSERT_EQ(first.GetBit(i), 0);
  for (int s = 2; s <= 3; ++s) {
    EXPECT_EQ(key.Subkey(s)->GetBit(0), 1);
    for (int i = 1; i < key.Subkey(s)->BitCount(); ++i) ASSERT_EQ(key.Subkey(s)->GetBit(i), 0);
  }
  // Only 605 seed bits fit: the terminator lands on bit 605.
  TKey full(28);
  const auto many = Seed(100);
  full.MakeFromBytes(many.data(), 800);
  EXPECT_EQ(full.Subkey(1)->GetBit(605), 1);
  EXPECT_EQ(full.Subkey(1)->GetBit(606), 0);
  EXPECT_EQ(MessageOf<EKeyNoBits>([&] { full.MakeFromBytes(many.data(), 0); }),
            "No bits specified for making key.");
}

TEST(Key, MakeFromBytesSpreadDealsRoundRobin) {
  TKey key(28);
  const auto seed = Seed(152);
  key.MakeFromBytesSpread(seed.data(), 1216);
  auto bit = [&](int i) { return (seed[i / 8] >> (7 - i % 8)) & 1; };
  // Subkey 3 (127 bits) fills after 125 rounds; then subkeys 1 and 2 alternate.
  EXPECT_EQ(key.Subkey(1)->GetBit(0), bit(0));
  EXPECT_EQ(key.Subkey(2)->GetBit(0), bit(1));
  EXPECT_EQ(key.Subkey(3)->GetBit(0), bit(2));
  EXPECT_EQ(key.Subkey(3)->GetBit(124), bit(374));
  EXPECT_EQ(key.Subkey(3)->GetBit(125), 1);
  EXPECT_EQ(key.Subkey(1)->GetBit(125), bit(375));
  EXPECT_EQ(key.Subkey(2)->GetBit(125), bit(376));
  EXPECT_EQ(key.Subkey(1)->GetBit(126), bit(377));
  // All 1216 bits are used (capacity 1255 - 6 = 1249): each subkey's
  // terminator sits right after the seed bits it took.
  int used = 0;
  for (int s = 1; s <= 3; ++s) {
    int last_one = -1;
    for (int i = 0; i < key.Subkey(s)->BitCount(); ++i)
      if (key.Subkey(s)->GetBit(i)) last_one = i;
    used += last_one;  // the terminator follows the subkey's seed bits
  }
  EXPECT_EQ(used, 1216);
}

TEST(Key, AssignEqualsValidateAndKeyId) {
  TKey a(28), b(28), c(44);
  const auto seed = Seed(50);
  a.MakeFromBytes(seed.data(), 400);
  EXPECT_EQ(MessageOf<EKeyIncompatibleAssignment>([&] { c.Assign(a); }),
            "Incompatible key assignment.");
  EXPECT_FALSE(a.Equals(b));
  b.Assign(a);
  EXPECT_TRUE(a.Equals(b));
  TKey copy(a);
  EXPECT_TRUE(copy.Equals(a));

  const std::string id = a.KeyId();
  EXPECT_EQ(id.size(), 8u);
  EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(a.KeyId(), id);
  b.SetBlockSize(2048);
  EXPECT_NE(b.KeyId(), id);
  EXPECT_FALSE(a.Equals(b));

  TKey zero(28);
  EXPECT_EQ(MessageOf<EKeyInvalidBitsZero>([&] { zero.Validate(); }),
            "Subkey must not have all zero bits.");
  for (int s = 1; s <= 3; ++s)
    for (int i = 0; i < zero.Subkey(s)->BitCount(); ++i) zero.Subkey(s)->SetBit(i, 1);
  EXPECT_EQ(MessageOf<EKeyInvalidBitsOne>([&] { zero.Validate(); }),
            "Subkey must not have all one bits.");
}

TEST(Key, StreamRoundTripAndLoadFailures) {
  TKey key(44);
  const auto seed = Seed(64);
  key.MakeFromBytesSpread(seed.data(), 512);
  key.SetBlockSize(4096);
  key.SetGranularity(gByte);
  MemoryStream s;
  key.SaveToStream(s);
  s.SetPosition(0);
  TKey back(0);
  back.LoadFromStream(s);
  EXPECT_EQ(back.Sizes(), 44);
  EXPECT_TRUE(back.Equals(key));
  EXPECT_EQ(back.KeyId(), key.KeyId());

  auto bytes = s.Data();
  auto load_fails = [](std::vector<std::uint8_t> data, TGeneratorSizes sizes) {
    MemoryStream in(data);
    TKey k(sizes);
    return MessageOf<EKeyStreamLoadFailure>([&] { k.LoadFromStream(in); });
  };
  // Another size set than the key's own, a short stream, a header error.
  EXPECT_EQ(load_fails(bytes, 28), "Error loading key from stream.");
  EXPECT_EQ(load_fails({bytes.begin(), bytes.end() - 1}, 0), "Error loading key from stream.");
  auto wrong_code = bytes;
  wrong_code[12] = 3;
  EXPECT_EQ(load_fails(wrong_code, 0), "Error loading key from stream.");
  // A size set with six members cannot be held by a key.
  auto six = bytes;
  six[28] = 0x3F;
  six[24] = 6;
  EXPECT_EQ(load_fails(six, 0), "Error loading key from stream.");
  auto bit7 = bytes;
  bit7[28] = 0x80 | 44;
  EXPECT_EQ(load_fails(bit7, 0), "Error loading key from stream.");
}

TEST(Key, LoadedPaddingIsKeptComputedPaddingIsClear) {
  TKey key(28);
  const auto seed = Seed(50);
  key.MakeFromBytes(seed.data(), 400);
  EXPECT_EQ(key.Subkey(1)->Words()[18] & 0x1u, 0u);  // 607 bits: one padding bit
  MemoryStream s;
  key.SaveToStream(s);
  auto bytes = s.Data();
  // Subkey 1's last word starts at 40 + 4 + 18 * 4; set its padding bit.
  bytes[40 + 4 + 18 * 4] |= 0x01;
  MemoryStream in(bytes);
  TKey loaded(0);
  loaded.LoadFromStream(in);
  EXPECT_TRUE(loaded.Equals(key));         // same bits
  EXPECT_NE(loaded.KeyId(), key.KeyId());  // the byte view sees the padding
}

TEST(Key, PrPubKeyTakesTheStreamsSizeSet) {
  TKey key(44);
  const auto seed = Seed(30);
  key.MakeFromBytes(seed.data(), 240);
  MemoryStream s;
  key.SaveToStream(s);
  s.SetPosition(0);
  TPublicKey pub(28);
  int loaded = 0;
  pub.OnKeyLoaded = [&](TPrPubKey& k) {
    ++loaded;
    EXPECT_EQ(k.Sizes(), 44);
  };
  pub.LoadFromStream(s);
  EXPECT_EQ(loaded, 1);
  EXPECT_TRUE(pub.Equals(key));
}

}  // namespace
