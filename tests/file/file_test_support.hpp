// file_test_support.hpp - sentinels, file status and time-zone helpers for the file tests.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "api32/win32/file_records.hpp"

namespace api32::testing {

/// The value the tests put into the last error before a call.
inline constexpr std::uint32_t error_sentinel = 0xdeadbeef;

/// A record with every byte 0xff: a failed call must leave it so.
template <class T>
T sentinel_record() {
  T record;
  std::memset(static_cast<void*>(&record), 0xff, sizeof record);
  return record;
}
template <class T>
bool same_bytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::uint64_t ticks(const os_filedatetime& t) {
  return (static_cast<std::uint64_t>(t.ul_highdatetime) << 32) | t.ul_lowdatetime;
}
inline os_filedatetime filetime(std::uint64_t ticks) {
  return os_filedatetime{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}
/// FILETIME ticks of a POSIX time, truncated to 100 ns.
inline std::uint64_t ticks_of(const struct statx_timestamp& t) {
  return static_cast<std::uint64_t>(t.tv_sec + 11'644'473'600LL) * 10'000'000u + t.tv_nsec / 100u;
}

/// statx of a path (following links); the test fails on error.
inline struct statx status_of(const std::string& path) {
  struct statx sx {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) std::abort();
  return sx;
}

/// Sets TZ for the object's lifetime and restores the old value.
class tz_guard {
public:
  explicit tz_guard(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~tz_guard() {
    if (old_)
      ::setenv("TZ", old_->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  tz_guard(const tz_guard&) = delete;
  tz_guard& operator=(const tz_guard&) = delete;

private:
  std::optional<std::string> old_;
};

}  // namespace api32::testing
