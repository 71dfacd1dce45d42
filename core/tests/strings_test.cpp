#include "core/strings.h"

#include <gtest/gtest.h>

#include <map>
#include <unordered_set>

#include "core/error.h"

namespace nimbra {
namespace {

using List = std::vector<std::string>;

TEST(CaseRules, PlainFunctionsFoldOnlyAscii) {
  EXPECT_EQ(UpperCase("abc\xE9z"), "ABC\xE9Z");
  EXPECT_EQ(LowerCase("ABC\xC9Z"), "abc\xC9z");
  EXPECT_TRUE(SameText("WS.INI", "ws.ini"));
  EXPECT_FALSE(SameText("caf\xE9", "CAF\xC9"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_LT(CompareText("ab", "AB\x01"), 0);  // a prefix sorts first
  // Bytes compare unsigned: 0xE9 sorts after 'z'.
  EXPECT_GT(CompareText("\xE9", "z"), 0);
}

TEST(CaseRules, AnsiFunctionsFoldWindows1252Letters) {
  EXPECT_EQ(AnsiUpperCase("caf\xE9 \x9A\x9C\x9E\xFF"), "CAF\xC9 \x8A\x8C\x8E\x9F");
  EXPECT_EQ(AnsiLowerCase("CAF\xC9 \x8A\x8C\x8E\x9F"), "caf\xE9 \x9A\x9C\x9E\xFF");
  // Division/multiplication signs, sharp s and micro are not letter pairs.
  EXPECT_EQ(AnsiUpperCase("\xF7\xDF\xB5"), "\xF7\xDF\xB5");
  EXPECT_EQ(AnsiLowerCase("\xD7"), "\xD7");
  EXPECT_TRUE(AnsiSameText("Caf\xE9", "CAF\xC9"));
  EXPECT_EQ(AnsiCompareText("B", "a"), 1);
}

TEST(CaseRules, ContainersFindNamesWithoutRegardToCase) {
  std::map<std::string, int, TextLess> ordered{{"Users", 1}, {"WORKSTATION", 2}};
  EXPECT_EQ(ordered.count(std::string_view("users")), 1u);
  EXPECT_EQ(ordered.begin()->first, "Users");
  std::unordered_set<std::string, TextHash, TextEqual> set{"MyKeys.DAT"};
  EXPECT_TRUE(set.contains("MYKEYS.dat"));
  EXPECT_EQ(TextHash{}("\xE9t\xE9"), TextHash{}("\xC9T\xC9"));
}

TEST(TextSearch, StartsEndsAndFindIgnoreCase) {
  EXPECT_TRUE(StartsText("CONTENT-TYPE: text/plain", "Content-Type:"));
  EXPECT_FALSE(StartsText("Con", "Content"));
  EXPECT_TRUE(EndsText("file.MSG", ".msg"));
  EXPECT_EQ(FindText("a-PKYN:Ann", "pkyn:"), 2u);
  EXPECT_EQ(FindText("abcABC", "abc", 1), 3u);
  EXPECT_EQ(FindText("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(FindText("abc", "", 3), 3u);
  EXPECT_EQ(FindText("abc", "", 4), std::string_view::npos);
}

TEST(Trim, RemovesBlanksAndControlCharactersOnly) {
  EXPECT_EQ(Trim(" \t\r\n x y \x01"), "x y");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x \x1F"), "  x");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // 0xA0 is above ' '
  EXPECT_EQ(Trim("   "), "");
}

TEST(CommaList, BlanksAndCommasSeparateQuotedItemsKeepThem) {
  EXPECT_EQ(SplitCommaList("a@x.com,b@y.com"), (List{"a@x.com", "b@y.com"}));
  EXPECT_EQ(SplitCommaList("  a@x.com  b@y.com\t,c "), (List{"a@x.com", "b@y.com", "c"}));
  EXPECT_EQ(SplitCommaList("\"Doe, John\" <j@x>"), (List{"Doe, John", "<j@x>"}));
  EXPECT_EQ(SplitCommaList("\"say \"\"hi\"\"\",x"), (List{"say \"hi\"", "x"}));
  EXPECT_EQ(SplitCommaList("\"\",x"), (List{"", "x"}));
  EXPECT_EQ(SplitCommaList("\"a\"b"), (List{"a", "b"}));
}

TEST(CommaList, EmptyItemsAndEnds) {
  EXPECT_EQ(SplitCommaList(""), List{});
  EXPECT_EQ(SplitCommaList(" \r\n "), List{});
  EXPECT_EQ(SplitCommaList("a,,b"), (List{"a", "", "b"}));
  EXPECT_EQ(SplitCommaList("a, ,b"), (List{"a", "", "b"}));
  EXPECT_EQ(SplitCommaList("a,"), (List{"a", ""}));
  EXPECT_EQ(SplitCommaList(",a"), (List{"", "a"}));
  EXPECT_EQ(SplitCommaList(","), (List{"", ""}));
  EXPECT_EQ(SplitCommaList(std::string_view("a,b\0,c", 6)), (List{"a", "b"}));
  // An unterminated quote keeps the whole rest, last character included.
  EXPECT_EQ(SplitCommaList("x,\"abc, d"), (List{"x", "abc, d"}));
}

TEST(CommaList, JoinQuotesWhatNeedsItAndReadsBack) {
  EXPECT_EQ(JoinCommaList({"a", "b c", "d,e", "f\"g", ""}), "a,\"b c\",\"d,e\",\"f\"\"g\",");
  EXPECT_EQ(JoinCommaList({""}), "\"\"");
  EXPECT_EQ(JoinCommaList({}), "");
  const std::vector<List> samples = {
      {"a", "b c", "d,e", "f\"g", ""}, {""}, {"", ""}, {"", "x"}, {"x\ty", "\x01", "\xE9"}};
  for (const List& items : samples) {
    EXPECT_EQ(SplitCommaList(JoinCommaList(items)), items) << JoinCommaList(items);
  }
}

TEST(Numbers, FormatIntPadsAfterTheSign) {
  EXPECT_EQ(FormatInt(65535, 5), "65535");
  EXPECT_EQ(FormatInt(0, 3), "000");
  EXPECT_EQ(FormatInt(42, 5), "00042");
  EXPECT_EQ(FormatInt(-12, 5), "-00012");
  EXPECT_EQ(FormatInt(123456, 5), "123456");
  EXPECT_EQ(FormatInt(INT64_MIN, 1), "-9223372036854775808");
  EXPECT_EQ(IntToStr(-7), "-7");
}

TEST(Numbers, StrToIntFollowsTheRunTimeLibrary) {
  EXPECT_EQ(StrToIntDef("  42", -1), 42);
  EXPECT_EQ(StrToIntDef("42 ", -1), -1);  // trailing blanks are not accepted
  EXPECT_EQ(StrToIntDef("+7", -1), 7);
  EXPECT_EQ(StrToIntDef("-0", -1), 0);
  EXPECT_EQ(StrToIntDef("", -1), -1);
  EXPECT_EQ(StrToIntDef("-", -1), -1);
  EXPECT_EQ(StrToIntDef("1e3", -1), -1);
  EXPECT_EQ(StrToIntDef("$FF", -1), 255);
  EXPECT_EQ(StrToIntDef("0x1f", -1), 31);
  EXPECT_EQ(StrToIntDef("-$10", 0), -16);
  EXPECT_EQ(StrToIntDef("$FFFFFFFF", 0), -1);
  EXPECT_EQ(StrToIntDef("$100000000", 0), 0);
  EXPECT_EQ(StrToIntDef("$", 9), 9);
  EXPECT_EQ(StrToIntDef("2147483647", 0), 2147483647);
  EXPECT_EQ(StrToIntDef("-2147483648", 0), INT32_MIN);
  EXPECT_EQ(StrToIntDef("2147483648", 0), 0);
  EXPECT_EQ(StrToIntDef("99999999999999999999999", 5), 5);
  EXPECT_EQ(StrToInt("12"), 12);
  EXPECT_THROW(StrToInt("12a"), ConvertError);
}

TEST(Numbers, DecimalIntegersTakeNoOtherForm) {
  EXPECT_EQ(TryDecimalToInt("42"), 42);
  EXPECT_EQ(TryDecimalToInt("-7"), -7);
  EXPECT_EQ(TryDecimalToInt("+007"), 7);
  EXPECT_EQ(TryDecimalToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(TryDecimalToInt("2147483647"), 2147483647);
  for (const char* text : {"", "-", "+", "2x", "$3", "0x3", "x3", " 2", "2 ", "1e3", "2147483648",
                           "-2147483649", "99999999999999999999999"})
    EXPECT_EQ(TryDecimalToInt(text), std::nullopt) << text;
}

}  // namespace
}  // namespace nimbra
