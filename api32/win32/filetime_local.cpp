// filetime_local.cpp - FileTimeToLocalFileTime and LocalFileTimeToFileTime: the offset from UTC comes from the
// C library's time-zone rules (TZ, daylight saving included) for the moment converted.
#include <algorithm>
#include <ctime>
#include <optional>

#include "api32/win32/files.hpp"
#include "api32/win32/files_internal.hpp"

namespace api32::win32 {
namespace {

// Seconds east of UTC in force at the POSIX time `t`.
std::optional<std::int64_t> utc_offset_at(std::int64_t t) {
  auto value = static_cast<time_t>(t);
  struct tm fields;
  if (static_cast<std::int64_t>(value) != t || !::localtime_r(&value, &fields)) return std::nullopt;
  return fields.tm_gmtoff;
}

std::int64_t posix_seconds(std::uint64_t ticks) {
  return static_cast<std::int64_t>(ticks / detail::ticks_per_second) - detail::seconds_1601_to_1970;
}

// Shifts a FILETIME by `offset` seconds; false when the result leaves 0 .. 2^63.
bool shift(std::uint64_t ticks, std::int64_t offset, os_filedatetime& out) {
  std::int64_t delta = offset * static_cast<std::int64_t>(detail::ticks_per_second);
  auto value = static_cast<std::int64_t>(ticks);  // below 2^63, checked by the callers
  if ((delta < 0 && value < -delta) ||
      (delta > 0 && value > static_cast<std::int64_t>(detail::filetime_limit - 1) - delta))
    return false;
  out = detail::from_ticks(static_cast<std::uint64_t>(value + delta));
  return true;
}

bool invalid_argument() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

}  // namespace

// Windows: UTC to local time with the zone's bias; here with the offset the TZ rules give for that very moment
// (so a summer date is shifted by the summer offset). FALSE with ERROR_INVALID_PARAMETER when the value or the
// result lies outside 0 .. 2^63 (Windows would wrap), the record left as it was.
BOOL FileTimeToLocalFileTime(const os_filedatetime* file_time, os_filedatetime* local_file_time) {
  if (!file_time || !local_file_time) return invalid_argument();
  std::uint64_t ticks = detail::to_ticks(*file_time);
  if (ticks >= detail::filetime_limit) return invalid_argument();
  ::tzset();  // follow changes of TZ, as Windows follows the system's zone
  auto offset = utc_offset_at(posix_seconds(ticks));
  os_filedatetime result;
  if (!offset || !shift(ticks, *offset, result)) return invalid_argument();
  *local_file_time = result;
  return TRUE_;
}

// Windows: local time to UTC. A local time that occurs twice when the clocks go back is taken as the later
// (standard-time) moment; one skipped when they go forward is moved on by the jump. FALSE with
// ERROR_INVALID_PARAMETER for values outside 0 .. 2^63, the record left as it was.
BOOL LocalFileTimeToFileTime(const os_filedatetime* local_file_time, os_filedatetime* file_time) {
  if (!local_file_time || !file_time) return invalid_argument();
  std::uint64_t ticks = detail::to_ticks(*local_file_time);
  if (ticks >= detail::filetime_limit) return invalid_argument();
  ::tzset();
  std::int64_t local = posix_seconds(ticks);
  // the offsets a day before and a day after; each that reads back as itself gives a valid moment
  auto before = utc_offset_at(local - 86'400), after = utc_offset_at(local + 86'400);
  if (!before || !after) return invalid_argument();
  auto valid = [&](std::int64_t o) { return utc_offset_at(local - o) == o; };
  std::int64_t offset = *before;  // once, or skipped: the offset before the jump moves it on
  if (valid(*before) && valid(*after))
    offset = std::min(*before, *after);  // twice: the later moment
  else if (valid(*after))
    offset = *after;
  os_filedatetime result;
  if (!shift(ticks, -offset, result)) return invalid_argument();
  *file_time = result;
  return TRUE_;
}

}  // namespace api32::win32
