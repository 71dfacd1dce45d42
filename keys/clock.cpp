#include "keys/clock.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace nimbra::keys {

namespace {

std::mutex clockMutex;
std::function<DateTime()>& ClockFunction() {
  static std::function<DateTime()> clock;
  return clock;
}

// Days from 30 December 1899 to 1 January 1970.
constexpr std::int64_t kUnixEpochDays = 25569;

}  // namespace

DateTime HostNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  DateTime value = FromUnixTime(seconds, static_cast<int>(local.tm_gmtoff / 60));
  value.millisecond =
      static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return value;
}

DateTime Now() {
  std::function<DateTime()> clock;
  {
    std::lock_guard lock(clockMutex);
    clock = ClockFunction();
  }
  return clock ? clock() : HostNow();
}

void SetClock(std::function<DateTime()> clock) {
  std::lock_guard lock(clockMutex);
  ClockFunction() = std::move(clock);
}

std::string FormatStoredTime(const DateTime& value) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", value.year, value.month,
                value.day, value.hour, value.minute, value.second, value.millisecond);
  return text;
}

std::optional<DateTime> ParseStoredTime(std::string_view text) {
  if (text.size() < 19 || text.size() > 23) return std::nullopt;
  const std::string copy(text);
  DateTime value;
  int consumed = 0;
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &value.year, &value.month, &value.day,
                  &value.hour, &value.minute, &value.second, &consumed) != 6 ||
      consumed != 19)
    return std::nullopt;
  if (copy.size() > 19) {
    int ms = 0;
    int more = 0;
    if (copy[19] != '.' || std::sscanf(copy.c_str() + 20, "%3d%n", &ms, &more) != 1 ||
        20 + more != static_cast<int>(copy.size()))
      return std::nullopt;
    value.millisecond = ms;
  }
  if (!value.IsValid()) return std::nullopt;
  return value;
}

double ToDelphiDateTime(const DateTime& value) {
  const std::int64_t unixSeconds = ToUnixTime(value.DateOnly());
  const double days = static_cast<double>(unixSeconds / 86400 + kUnixEpochDays);
  const double fraction = (value.hour * 3600000.0 + value.minute * 60000.0 + value.second * 1000.0 +
                           value.millisecond) /
                          86400000.0;
  // Before the epoch day the fraction counts away from zero, as the
  // run-time library stores it.
  return days < 0 ? days - fraction : days + fraction;
}

DateTime FromDelphiDateTime(double value) {
  if (!std::isfinite(value) || value < -693593.0 || value > 2958466.0) return DateTime{};
  const double whole = std::trunc(value);
  const double fraction = std::fabs(value - whole);
  auto ms = static_cast<std::int64_t>(std::llround(fraction * 86400000.0));
  std::int64_t days = static_cast<std::int64_t>(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    days += value < 0 ? -1 : 1;
  }
  DateTime result = FromUnixTime((days - kUnixEpochDays) * 86400);
  result.hour = static_cast<int>(ms / 3600000);
  result.minute = static_cast<int>(ms / 60000 % 60);
  result.second = static_cast<int>(ms / 1000 % 60);
  result.millisecond = static_cast<int>(ms % 1000);
  return result;
}

}  // namespace nimbra::keys
