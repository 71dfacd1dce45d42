#include <gtest/gtest.h>

#include "keys/clock.h"
#include "keys/key_record.h"
#include "keys/letters.h"

namespace nimbra::keys {
namespace {

TEST(LetterForm, ByteBecomesLowAndHighLetters) {
  const std::uint8_t byte = 0x3C;
  const LetterTexts letters = ToLetters({&byte, 1});
  EXPECT_EQ(letters.first, "M");
  EXPECT_EQ(letters.second, "D");
}

TEST(LetterForm, EveryByteRoundTripsThroughLettersAToP) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[std::size_t(i)] = std::uint8_t(i);
  const LetterTexts letters = ToLetters(all);
  for (char c : letters.first + letters.second) EXPECT_TRUE(c >= 'A' && c <= 'P');
  EXPECT_EQ(FromLetters(letters.first, letters.second), all);
  // Unequal texts decode over the shorter one rather than reading past it.
  EXPECT_EQ(FromLetters("AB", "A").size(), 1u);
}

TEST(KeyReference, ReadsDigitsAndWritesThemBackUnchanged) {
  const KeyReference ref = KeyReference::Parse("1A0F0102");
  EXPECT_EQ(ref.a, 1);
  EXPECT_EQ(ref.b, 10);
  EXPECT_EQ(ref.c, 15);
  EXPECT_EQ(ref.d, 258);
  EXPECT_EQ(ref.Format(), "1A0F0102");
  EXPECT_EQ(KeyReference::Parse(""), KeyReference{});
  EXPECT_EQ((KeyReference{15, 15, 255, 65535}).Format(), "FFFFFFFF");
  // Short or damaged texts read without failing.
  EXPECT_EQ(KeyReference::Parse("2").a, 2);
  EXPECT_EQ(KeyReference::Parse("zz").b, 0);
}

TEST(KeyRecord, FreshAndClearedRecordsAreEmpty) {
  KeyRecord record;
  EXPECT_EQ(record.block1.Length(), 0);
  EXPECT_FALSE(record.encrypt || record.showSubject || record.dsaSigning || record.verified);
  record.keyId = "X";
  record.encrypt = true;
  const std::uint8_t byte = 1;
  record.block2.Assign({&byte, 1});
  record.Clear();
  EXPECT_EQ(record.keyId, "");
  EXPECT_FALSE(record.encrypt);
  EXPECT_EQ(record.block2.Length(), 0);
  record.entityName = "Ann";
  record.keyId = "1234ABCD";
  record.entityGroupName = "Personal";
  EXPECT_EQ(record.ReadLabel(), "Ann/1234ABCD:Personal");
}

TEST(StoredTime, RoundTripsAndRejectsDamage) {
  const DateTime t{2026, 12, 7, 12, 16, 26, 5};
  EXPECT_EQ(FormatStoredTime(t), "2026-12-07 12:16:26.005");
  EXPECT_EQ(ParseStoredTime(FormatStoredTime(t)), t);
  EXPECT_EQ(ParseStoredTime("2026-12-07 12:16:26"), (DateTime{2026, 12, 7, 12, 16, 26, 0}));
  EXPECT_FALSE(ParseStoredTime("2026-02-31 00:00:00"));
  EXPECT_FALSE(ParseStoredTime("garbage"));
}

TEST(DelphiDateTime, DaysSince1899WithTimeAsFraction) {
  EXPECT_DOUBLE_EQ(ToDelphiDateTime(DateTime::Date(1899, 12, 30)), 0.0);
  EXPECT_DOUBLE_EQ(ToDelphiDateTime(DateTime::Date(1970, 1, 1)), 25569.0);
  EXPECT_DOUBLE_EQ(ToDelphiDateTime(DateTime{2000, 1, 1, 12, 0, 0, 0}), 36526.5);
  const DateTime t{2026, 12, 7, 12, 16, 26, 500};
  EXPECT_EQ(FromDelphiDateTime(ToDelphiDateTime(t)), t);
}

}  // namespace
}  // namespace nimbra::keys
