#pragma once

// Civil date-time values and the date/time texts of the system.
//
// There is no "now" here: the emulated machine has its own clock and hands
// the current DateTime to whoever formats it.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nimbra {

// A proleptic Gregorian date and time of day, in whatever zone the caller
// means (the machine's local time as a rule). Months and days count from 1.
struct DateTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;

  auto operator<=>(const DateTime&) const = default;

  static DateTime Date(int year, int month, int day) { return DateTime{year, month, day}; }
  // Year 1..9999, month 1..12, day within the month (leap years counted),
  // hour 0..23, minute and second 0..59, millisecond 0..999.
  bool IsValid() const;
  // 0 = Sunday .. 6 = Saturday.
  int DayOfWeek() const;
  // The same time of day, days later (earlier when negative).
  DateTime AddDays(std::int64_t days) const;
  // The date part only (time of day zero).
  DateTime DateOnly() const { return Date(year, month, day); }
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Seconds since 1970-01-01 00:00:00 UTC <-> civil time at utc_offset_minutes
// east of UTC (e.g. +60 for Central European winter time).
DateTime FromUnixTime(std::int64_t seconds, int utc_offset_minutes = 0);
std::int64_t ToUnixTime(const DateTime& value, int utc_offset_minutes = 0);

// What the format patterns take from the machine's regional settings.
struct FormatSettings {
  char date_separator = '/';  // "sDate"
  char time_separator = ':';
  std::string short_date_format = "dd/mm/yyyy";        // "ddddd"
  std::string long_date_format = "dddd, d mmmm yyyy";  // "dddddd"
};

// Formats with the pattern letters of the system's run-time library:
//   d dd        day 1..31 / 01..31      ddd dddd  Sun / Sunday
//   ddddd       short_date_format       dddddd    long_date_format
//   m mm        month 1..12 / 01..12    mmm mmmm  Dec / December
//   yy          two-digit year          yyyy      four-digit year (y runs of 3+)
//   h hh        hour 0..23 / 00..23     n nn      minute
//   s ss        second                  z zzz     millisecond 0..999 / 000..999
//   /           settings.date_separator :         settings.time_separator
//   '...' "..." literal text without the quotes; any other character as is.
// Pattern letters are recognised without regard to case, but a run is a
// repetition of the very same character: "Nn" is two one-letter minute
// fields, "mm" one two-letter field. An m run (of 1 or 2 or more) right after an h field
// means minutes ("hh:mm", "hhmmss"); ":" and other non-letters in between do
// not break that link, any other letter does ("ssmmnndd" is seconds, month,
// minutes, day). The fixed patterns of the system, for 07 Dec 2026 12:16:26:
//   "dd/mm/yyyy"      07/12/2026 (with the machine's date separator)
//   "yyyymmddhhnnss"  20261207121626, and "yyyymmddhhmmss" the same
//   "ssnndd"          seconds, minutes, day: 261607
//   "ssmmnndd"        seconds, month, minutes, day: 26121607
//   "mmmddyyhhnn"     Dec07261216
//   "ddmmmyyhhNnss"   07Dec26, hh, the minute twice unpadded, ss: 07Dec2612161626
//                     (12:05:09 gives 07Dec26125509)
std::string FormatDateTime(std::string_view pattern, const DateTime& value,
                           const FormatSettings& settings = {});

// Reads "dd/mm/yyyy" with the given separator: day and month of one or two
// digits, a year of four digits (one or two digits mean 2000 + the number),
// blanks around the text allowed. nullopt for anything else, including dates
// that do not exist (31/02/2026, 29/02/2025).
std::optional<DateTime> TryParseDate(std::string_view text, char separator = '/');
// As TryParseDate, raising ConvertError ("'<text>' is not a valid date").
DateTime ParseDate(std::string_view text, char separator = '/');

// The "Date:" header value the mail composer writes: two-digit day, month
// abbreviation, four-digit year, the word "at" and hh:nn:ss, e.g.
// "07 Dec 2026 at 12:16:26".
std::string FormatMailDate(const DateTime& value);
// The RFC 822 date form with the day name and the zone offset given by the
// caller: "Mon, 07 Dec 2026 12:16:26 +0100".
std::string FormatRfc822Date(const DateTime& value, int utc_offset_minutes);

}  // namespace nimbra
