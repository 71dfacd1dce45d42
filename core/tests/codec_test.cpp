// Hexadecimal, base64 and SHA-1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base64.h"
#include "core/error.h"
#include "core/hex.h"
#include "core/sha1.h"
#include "core/stream.h"

namespace nimbra {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}

std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return v;
}

TEST(Hex, BothCasesAndBack) {
  const std::vector<std::uint8_t> b = {0x00, 0x9F, 0xA0, 0xFF};
  EXPECT_EQ(HexLower(b), "009fa0ff");
  EXPECT_EQ(HexUpper(b), "009FA0FF");
  EXPECT_EQ(HexToBytes("009fA0Ff"), b);
  EXPECT_TRUE(HexToBytes("").empty());
}

TEST(Hex, BadTextIsAClearError) {
  EXPECT_THROW(HexToBytes("abc"), ConvertError);
  try {
    HexToBytes("00g0");
    FAIL();
  } catch (const ConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("position 3"), std::string::npos) << e.what();
  }
  EXPECT_THROW(HexToBytes("0 "), ConvertError);
}

TEST(Base64, StandardVectors) {
  const char* plain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
  const char* coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Base64Encode(Bytes(plain[i])), coded[i]);
    EXPECT_EQ(Base64Decode(coded[i]), Bytes(plain[i]));
  }
  const std::vector<std::uint8_t> high = {0xFB, 0xFF, 0xBF};
  EXPECT_EQ(Base64Encode(high), "+/+/");
}

TEST(Base64, SixtyCharacterLines) {
  // 45 bytes fill exactly one 60-character line; 46 add a line "xx==".
  const auto lines = Base64Lines(Counting(46), 60);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 60u);
  EXPECT_EQ(lines[1].size(), 4u);
  EXPECT_TRUE(lines[1].ends_with("=="));
  EXPECT_EQ(Base64Lines(Counting(45), 60).size(), 1u);
  EXPECT_TRUE(Base64Lines({}, 60).empty());

  const std::string text = Base64Encode(Counting(100), 60);
  EXPECT_EQ(text.substr(60, 2), "\r\n");
  EXPECT_EQ(text.size(), 136u + 4u);  // 136 characters in lines of 60, 60 and 16
  EXPECT_FALSE(text.ends_with("\r\n"));
  EXPECT_EQ(Base64Encode(Counting(45), 60).find('\r'), std::string::npos);
  EXPECT_EQ(Base64Decode(text), Counting(100));
}

TEST(Base64, DecodeSkipsLineBreaksAndAcceptsMissingPadding) {
  EXPECT_EQ(Base64Decode(" Zm9v\r\nYmE=\r\n"), Bytes("fooba"));
  EXPECT_EQ(Base64Decode("Zm9vYg"), Bytes("foob"));
  EXPECT_EQ(Base64Decode("Zm9vYmE"), Bytes("fooba"));
  EXPECT_EQ(Base64Decode("Zg = ="), Bytes("f"));
  EXPECT_EQ(Base64Decode("Zm 9vYm\r\nFyZm9v"), Bytes("foobarfoo"));  // breaks inside groups
  for (std::size_t n = 0; n < 200; n += 7) {
    EXPECT_EQ(Base64Decode(Base64Encode(Counting(n), 60)), Counting(n)) << n;
  }
}

TEST(Base64, BadInputIsAClearError) {
  EXPECT_THROW(Base64Decode("Zm9v!"), ConvertError);     // outside the alphabet
  EXPECT_THROW(Base64Decode("Zm9vY"), ConvertError);     // dangling character
  EXPECT_THROW(Base64Decode("Zg==Zg=="), ConvertError);  // data after padding
  EXPECT_THROW(Base64Decode("Z==="), ConvertError);      // padding too early
  EXPECT_THROW(Base64Decode("Zm9v="), ConvertError);     // padding after a full group
  EXPECT_THROW(Base64Decode("Zm8=="), ConvertError);     // too much padding
  EXPECT_THROW(Base64Decode(std::string("Zm\0v", 4)), ConvertError);
}

TEST(Sha1, KnownDigestsAllForms) {
  EXPECT_EQ(HexLower(Sha1(std::string_view("abc"))), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(HexLower(Sha1(std::string_view(""))), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  std::uint8_t digest[20];
  const std::string million(1000000, 'a');
  ComputeSHA1(million.data(), million.size(), digest);
  EXPECT_EQ(HexLower(std::span<const std::uint8_t>(digest, 20)),
            "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1, IncrementalMatchesOneShotAndRestarts) {
  const auto data = Counting(200000);
  Sha1Hasher h;
  h.Update(std::span(data).first(1));
  h.Update(std::span(data).subspan(1, 99999));
  MemoryStream rest(std::vector<std::uint8_t>(data.begin() + 100000, data.end()));
  h.Update(rest);
  EXPECT_EQ(h.Final(), Sha1(data));
  h.Update("abc", 3);
  EXPECT_EQ(HexUpper(h.Final()), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

}  // namespace
}  // namespace nimbra
