// filetime_convert.cpp - FileTimeToSystemTime and SystemTimeToFileTime: FILETIME (100 ns since 1601-01-01
// UTC) and the SYSTEMTIME calendar fields, on the proleptic Gregorian calendar as Windows counts it.
#include <cstdint>

#include "api32/win32/files.hpp"
#include "api32/win32/files_internal.hpp"

namespace api32::win32 {
namespace {

constexpr std::int64_t days_1601_to_1970 = 134'774;
constexpr std::uint64_t ticks_per_day = 86'400 * detail::ticks_per_second;
constexpr int max_year = 30827;  // the last full year a FILETIME below 2^63 reaches

// Days since 1970-01-01 for a civil date, and back (H. Hinnant's algorithms).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civil_from_days(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(int y, unsigned m) {
  static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return days[m - 1] + (m == 2 && leap(y) ? 1 : 0);
}

}  // namespace

namespace detail {

os_filedatetime filetime_from_timespec(const struct timespec& t) {
  std::int64_t seconds = static_cast<std::int64_t>(t.tv_sec) + seconds_1601_to_1970;
  if (seconds < 0) return os_filedatetime{};
  return from_ticks(static_cast<std::uint64_t>(seconds) * ticks_per_second +
                    static_cast<std::uint64_t>(t.tv_nsec) / 100);
}

struct timespec timespec_from_filetime(std::uint64_t ticks) {
  struct timespec t {};
  t.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / ticks_per_second) - seconds_1601_to_1970);
  t.tv_nsec = static_cast<long>(ticks % ticks_per_second) * 100;
  return t;
}

}  // namespace detail

// Windows: the calendar fields of a FILETIME, day of week included, milliseconds truncated; FALSE with
// ERROR_INVALID_PARAMETER for a value from 2^63 on (beyond the year 30828), the record left as it was.
BOOL FileTimeToSystemTime(const os_filedatetime* file_time, os_systemtime* system_time) {
  if (!file_time || !system_time) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  std::uint64_t ticks = detail::to_ticks(*file_time);
  if (ticks >= detail::filetime_limit) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  auto days = static_cast<std::int64_t>(ticks / ticks_per_day);
  std::uint64_t in_day = ticks % ticks_per_day;
  std::int64_t year;
  unsigned month, day;
  civil_from_days(days - days_1601_to_1970, year, month, day);
  std::uint64_t seconds = in_day / detail::ticks_per_second;
  os_systemtime r;
  r.ui_wyear = static_cast<std::uint16_t>(year);
  r.ui_wmonth = static_cast<std::uint16_t>(month);
  r.ui_wdayofweek = static_cast<std::uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
  r.ui_wday = static_cast<std::uint16_t>(day);
  r.ui_whour = static_cast<std::uint16_t>(seconds / 3600);
  r.ui_wminute = static_cast<std::uint16_t>(seconds / 60 % 60);
  r.ui_wsecond = static_cast<std::uint16_t>(seconds % 60);
  r.ui_wmilliseconds = static_cast<std::uint16_t>(in_day % detail::ticks_per_second / 10'000);
  *system_time = r;
  return TRUE_;
}

// Windows: the FILETIME of a SYSTEMTIME (the day of week is ignored); FALSE with ERROR_INVALID_PARAMETER for a
// field out of range (year 1601-30827, a day the month has, hour < 24, minute and second < 60,
// milliseconds < 1000), the record left as it was.
BOOL SystemTimeToFileTime(const os_systemtime* system_time, os_filedatetime* file_time) {
  if (!system_time || !file_time) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  const os_systemtime& s = *system_time;
  if (s.ui_wyear < 1601 || s.ui_wyear > max_year || s.ui_wmonth < 1 || s.ui_wmonth > 12 || s.ui_wday < 1 ||
      s.ui_wday > days_in_month(s.ui_wyear, s.ui_wmonth) || s.ui_whour > 23 || s.ui_wminute > 59 || s.ui_wsecond > 59 ||
      s.ui_wmilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  std::int64_t days = days_from_civil(s.ui_wyear, s.ui_wmonth, s.ui_wday) + days_1601_to_1970;
  std::uint64_t ticks = static_cast<std::uint64_t>(days) * ticks_per_day +
                        (s.ui_whour * 3600ull + s.ui_wminute * 60ull + s.ui_wsecond) * detail::ticks_per_second +
                        s.ui_wmilliseconds * 10'000ull;
  *file_time = detail::from_ticks(ticks);
  return TRUE_;
}

}  // namespace api32::win32
