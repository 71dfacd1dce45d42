#include "core/datetime.h"

#include "core/error.h"
#include "core/strings.h"

namespace nimbra {
namespace {

constexpr const char* kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonths[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

void Append(std::string& out, int value, int min_digits) {
  out += FormatInt(value, min_digits);
}

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

void FormatInto(std::string& out, std::string_view pattern, const DateTime& v,
                const FormatSettings& settings, int depth) {
  char last_letter = 0;  // upper-cased letter of the previous field
  std::size_t p = 0;
  while (p < pattern.size()) {
    const char starter = pattern[p];
    std::size_t count = 1;
    while (p + count < pattern.size() && pattern[p + count] == starter) ++count;

    if (starter == '\'' || starter == '"') {
      const std::size_t close = pattern.find(starter, p + 1);
      const std::size_t stop = close == std::string_view::npos ? pattern.size() : close;
      out.append(pattern.substr(p + 1, stop - p - 1));
      p = close == std::string_view::npos ? pattern.size() : close + 1;
      continue;
    }
    char token = Upper(starter);
    if (IsLetter(starter)) {
      if (token == 'M' && last_letter == 'H') token = 'N';
      last_letter = token;
    }
    const int n = static_cast<int>(count > 9 ? 9 : count);
    switch (token) {
      case 'D':
        if (n <= 2) {
          Append(out, v.day, n);
        } else if (n == 3) {
          out += kShortDays[v.DayOfWeek()];
        } else if (n == 4) {
          out += kLongDays[v.DayOfWeek()];
        } else if (depth == 0) {
          FormatInto(out, n == 5 ? settings.short_date_format : settings.long_date_format, v,
                     settings, depth + 1);
        }
        break;
      case 'M':
        if (n <= 2) {
          Append(out, v.month, n);
        } else {
          out += (n == 3 ? kShortMonths : kLongMonths)[v.month - 1];
        }
        break;
      case 'Y':
        if (n <= 2) {
          Append(out, v.year % 100, 2);
        } else {
          Append(out, v.year, 4);
        }
        break;
      case 'H':
        Append(out, v.hour, n > 2 ? 2 : n);
        break;
      case 'N':
        Append(out, v.minute, n > 2 ? 2 : n);
        break;
      case 'S':
        Append(out, v.second, n > 2 ? 2 : n);
        break;
      case 'Z':
        Append(out, v.millisecond, n > 3 ? 3 : n);
        break;
      case '/':
        for (std::size_t i = 0; i < count; ++i) out += settings.date_separator;
        break;
      case ':':
        for (std::size_t i = 0; i < count; ++i) out += settings.time_separator;
        break;
      default:
        out.append(count, starter);
        break;
    }
    p += count;
  }
}

// Reads 1..max_digits decimal digits at text[p]; -1 when there are none.
int ReadNumber(std::string_view text, std::size_t& p, std::size_t max_digits, std::size_t& digits) {
  digits = 0;
  int value = 0;
  while (p < text.size() && digits < max_digits && text[p] >= '0' && text[p] <= '9') {
    value = value * 10 + (text[p] - '0');
    ++p;
    ++digits;
  }
  return digits == 0 ? -1 : value;
}

}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool DateTime::IsValid() const {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
         minute <= 59 && second >= 0 && second <= 59 && millisecond >= 0 && millisecond <= 999;
}

int DateTime::DayOfWeek() const {
  const std::int64_t days = DaysFromCivil(year, month, day);  // 1970-01-01 was a Thursday
  return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

DateTime DateTime::AddDays(std::int64_t days) const {
  DateTime r = *this;
  CivilFromDays(DaysFromCivil(year, month, day) + days, r.year, r.month, r.day);
  return r;
}

DateTime FromUnixTime(std::int64_t seconds, int utc_offset_minutes) {
  const std::int64_t local = seconds + static_cast<std::int64_t>(utc_offset_minutes) * 60;
  const std::int64_t days = FloorDiv(local, 86400);
  const std::int64_t rest = local - days * 86400;
  DateTime r;
  CivilFromDays(days, r.year, r.month, r.day);
  r.hour = static_cast<int>(rest / 3600);
  r.minute = static_cast<int>(rest / 60 % 60);
  r.second = static_cast<int>(rest % 60);
  return r;
}

std::int64_t ToUnixTime(const DateTime& value, int utc_offset_minutes) {
  return DaysFromCivil(value.year, value.month, value.day) * 86400 + value.hour * 3600 +
         value.minute * 60 + value.second - static_cast<std::int64_t>(utc_offset_minutes) * 60;
}

std::string FormatDateTime(std::string_view pattern, const DateTime& value,
                           const FormatSettings& settings) {
  std::string out;
  FormatInto(out, pattern, value, settings, 0);
  return out;
}

std::optional<DateTime> TryParseDate(std::string_view text, char separator) {
  const std::string_view t = Trim(text);
  std::size_t p = 0, digits = 0;
  const int day = ReadNumber(t, p, 2, digits);
  if (day < 0 || p >= t.size() || t[p] != separator) return std::nullopt;
  ++p;
  const int month = ReadNumber(t, p, 2, digits);
  if (month < 0 || p >= t.size() || t[p] != separator) return std::nullopt;
  ++p;
  int year = ReadNumber(t, p, 4, digits);
  if (year < 0 || p != t.size() || digits == 3) return std::nullopt;
  if (digits <= 2) year += 2000;
  const DateTime date = DateTime::Date(year, month, day);
  if (!date.IsValid()) return std::nullopt;
  return date;
}

DateTime ParseDate(std::string_view text, char separator) {
  if (auto date = TryParseDate(text, separator)) return *date;
  throw ConvertError("'" + std::string(text) + "' is not a valid date");
}

std::string FormatMailDate(const DateTime& value) {
  return FormatDateTime("dd mmm yyyy \"at\" hh:nn:ss", value);
}

std::string FormatRfc822Date(const DateTime& value, int utc_offset_minutes) {
  const int magnitude = utc_offset_minutes < 0 ? -utc_offset_minutes : utc_offset_minutes;
  return FormatDateTime("ddd, dd mmm yyyy hh:nn:ss ", value) +
         (utc_offset_minutes < 0 ? '-' : '+') + FormatInt(magnitude / 60, 2) +
         FormatInt(magnitude % 60, 2);
}

}  // namespace nimbra
