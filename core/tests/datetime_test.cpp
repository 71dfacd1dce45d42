#include "core/datetime.h"

#include <gtest/gtest.h>

#include "core/error.h"

namespace nimbra {
namespace {

// 07 Dec 2026 (a Monday) 12:16:26.045
const DateTime kSample{2026, 12, 7, 12, 16, 26, 45};
// 3 Feb 2025 (a Monday) 09:05:04.007: every field below ten, day and month differ.
const DateTime kSmall{2025, 2, 3, 9, 5, 4, 7};

TEST(DateTimeFormat, FixedPatternsOfTheSystem) {
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy", kSmall), "03/02/2025");
  EXPECT_EQ(FormatDateTime("yyyymmddhhnnss", kSmall), "20250203090504");
  EXPECT_EQ(FormatDateTime("yyyymmddhhmmss", kSmall), "20250203090504");
  EXPECT_EQ(FormatDateTime("ssnndd", kSmall), "040503");
  EXPECT_EQ(FormatDateTime("ssmmnndd", kSmall), "04020503");  // seconds, month, minutes, day
  EXPECT_EQ(FormatDateTime("mmmddyyhhnn", kSample), "Dec07261216");
  EXPECT_EQ(FormatDateTime("ddmmmyyhhNnss", kSample), "07Dec2612161626");
  EXPECT_EQ(FormatDateTime("ddmmmyyhhNnss", kSmall), "03Feb25095504");
}

TEST(DateTimeFormat, MonthOrMinuteDependsOnThePreviousField) {
  EXPECT_EQ(FormatDateTime("hh:mm", kSmall), "09:05");
  EXPECT_EQ(FormatDateTime("h:m", kSmall), "9:5");
  EXPECT_EQ(FormatDateTime("hh'x'mm", kSmall), "09x05");  // a literal keeps the link
  EXPECT_EQ(FormatDateTime("hh dd mm", kSmall), "09 03 02");
  EXPECT_EQ(FormatDateTime("mm hh", kSmall), "02 09");
  EXPECT_EQ(FormatDateTime("hhmmm", kSmall), "0905");  // three m after h: minutes
}

TEST(DateTimeFormat, EveryLetterAndSeparator) {
  const FormatSettings dots{'.', '-'};
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s", kSmall, dots), "3.2.25 9-5-4");
  EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", kSample), "Mon Monday Dec December");
  EXPECT_EQ(FormatDateTime("z zz zzz zzzz", kSmall), "7 07 007 007");
  EXPECT_EQ(FormatDateTime("yyy y", kSmall), "2025 25");
  EXPECT_EQ(FormatDateTime("hhh nnn sss", kSmall), "09 05 04");
  EXPECT_EQ(FormatDateTime("DD/MM/YYYY", kSmall), "03/02/2025");
  EXPECT_EQ(FormatDateTime("\"dd\" 'at' dd", kSmall), "dd at 03");
  EXPECT_EQ(FormatDateTime("'open", kSmall), "open");
  EXPECT_EQ(FormatDateTime("ddddd", kSmall, dots), "03.02.2025");
  EXPECT_EQ(FormatDateTime("dddddd", kSmall), "Monday, 3 February 2025");
  EXPECT_EQ(FormatDateTime("yyyy", DateTime::Date(987, 1, 1)), "0987");
  EXPECT_EQ(FormatDateTime("", kSmall), "");
}

TEST(DateTimeFormat, MailDates) {
  EXPECT_EQ(FormatMailDate(kSample), "07 Dec 2026 at 12:16:26");
  EXPECT_EQ(FormatRfc822Date(kSample, 60), "Mon, 07 Dec 2026 12:16:26 +0100");
  EXPECT_EQ(FormatRfc822Date(kSmall, -330), "Mon, 03 Feb 2025 09:05:04 -0530");
  EXPECT_EQ(FormatRfc822Date(kSmall, 0), "Mon, 03 Feb 2025 09:05:04 +0000");
}

TEST(DateParse, DayMonthYearWithTheGivenSeparator) {
  EXPECT_EQ(ParseDate("03/02/2025"), DateTime::Date(2025, 2, 3));
  EXPECT_EQ(ParseDate(" 3.2.2025 ", '.'), DateTime::Date(2025, 2, 3));
  EXPECT_EQ(ParseDate("29/02/2024"), DateTime::Date(2024, 2, 29));
  EXPECT_EQ(ParseDate("1/1/99"), DateTime::Date(2099, 1, 1));
  EXPECT_EQ(ParseDate("31/12/9999"), DateTime::Date(9999, 12, 31));
}

TEST(DateParse, BadDatesFailClearly) {
  for (const char* bad :
       {"29/02/2025", "31/04/2026", "00/01/2026", "01/13/2026", "01/00/2026", "1/1/202",
        "01/01/20260", "01-01-2026", "01/01/2026x", "", "//", "1/1", "a/b/c", "29/02/1900"}) {
    EXPECT_FALSE(TryParseDate(bad).has_value()) << bad;
  }
  EXPECT_TRUE(TryParseDate("29/02/2000").has_value());
  try {
    ParseDate("31/02/2026");
    FAIL();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'31/02/2026' is not a valid date");
  }
}

TEST(DateArithmetic, UnixTimeOffsetsAndDays) {
  EXPECT_EQ(FromUnixTime(0), DateTime::Date(1970, 1, 1));
  const std::int64_t t = 1796645786;  // 2026-12-07 12:16:26 UTC
  EXPECT_EQ(FromUnixTime(t), (DateTime{2026, 12, 7, 12, 16, 26}));
  EXPECT_EQ(FromUnixTime(t, 720), (DateTime{2026, 12, 8, 0, 16, 26}));
  EXPECT_EQ(FromUnixTime(-1), (DateTime{1969, 12, 31, 23, 59, 59}));
  EXPECT_EQ(ToUnixTime(DateTime{2026, 12, 8, 0, 16, 26}, 720), t);
  EXPECT_EQ(ToUnixTime(FromUnixTime(951782400)), 951782400);  // 2000-02-29

  EXPECT_EQ(DateTime::Date(2024, 2, 28).AddDays(1), DateTime::Date(2024, 2, 29));
  EXPECT_EQ(DateTime::Date(2025, 2, 28).AddDays(1), DateTime::Date(2025, 3, 1));
  EXPECT_EQ(DateTime::Date(2026, 12, 7).AddDays(365), DateTime::Date(2027, 12, 7));
  EXPECT_EQ(DateTime::Date(2026, 1, 1).AddDays(-1), DateTime::Date(2025, 12, 31));
  EXPECT_EQ(kSample.AddDays(2).hour, 12);
  EXPECT_EQ(DateTime::Date(2000, 1, 1).DayOfWeek(), 6);
  EXPECT_EQ(DateTime::Date(1969, 12, 31).DayOfWeek(), 3);
  EXPECT_LT(DateTime::Date(2026, 1, 31), DateTime::Date(2026, 2, 1));
  EXPECT_FALSE((DateTime{2026, 1, 1, 24}).IsValid());
  EXPECT_EQ(DaysInMonth(2100, 2), 28);
}

}  // namespace
}  // namespace nimbra
