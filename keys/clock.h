#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/datetime.h"

namespace nimbra::keys {

// The key library's clock: the host's local time unless a component set the
// clock of its machine. Used for EXPIRES checks, UPDATE_STAMP, the owner
// stamps and the log lines.
DateTime Now();
void SetClock(std::function<DateTime()> clock);  // an empty function restores the host clock

// The host's local time.
DateTime HostNow();

// Date-time fields are stored as "yyyy-mm-dd hh:nn:ss.zzz" texts, which sort
// in time order and which SQLite's date functions read.
std::string FormatStoredTime(const DateTime& value);
std::optional<DateTime> ParseStoredTime(std::string_view text);

// The 8-byte floating-point date-time of the period's run-time library: days
// since 30 December 1899, the fraction being the time of day.
double ToDelphiDateTime(const DateTime& value);
DateTime FromDelphiDateTime(double value);

}  // namespace nimbra::keys
