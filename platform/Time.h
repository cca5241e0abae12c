// System time (UTC, with milliseconds) and local calendar time, for the date
// stamps in the names of measurement logs.
#pragma once

#include <cstdint>
#include <ctime>

namespace tessok::platform {

struct SystemTime {
  std::uint16_t year;
  std::uint16_t month;      // 1 to 12
  std::uint16_t dayOfWeek;  // 0 = Sunday
  std::uint16_t day;
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

// The current time in UTC.
SystemTime GetSystemTime();
// Breaks a calendar time into local time; false when it cannot.
bool LocalTime(std::time_t t, std::tm* out);

}  // namespace tessok::platform
