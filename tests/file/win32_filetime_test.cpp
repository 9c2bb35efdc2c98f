// FileTimeToSystemTime / SystemTimeToFileTime and the local-time pair: calendar tables, the range limits,
// records left alone on failure, and local time by the TZ rules in winter and summer.
#include <gtest/gtest.h>

#include "api32/win32/files.hpp"
#include "file/file_test_support.hpp"

namespace w = api32::win32;
using api32::os_filedatetime;
using api32::os_systemtime;
using namespace api32::testing;

namespace {

struct calendar_row {
  std::uint64_t ticks;
  os_systemtime fields;  // year, month, day of week, day, hour, minute, second, milliseconds
};

const calendar_row calendar[] = {
    {0, {1601, 1, 1, 1, 0, 0, 0, 0}},                                 // the epoch, a Monday
    {116'444'736'000'000'000ull, {1970, 1, 4, 1, 0, 0, 0, 0}},        // POSIX epoch, a Thursday
    {133'536'836'967'899'999ull, {2024, 2, 4, 29, 12, 34, 56, 789}},  // leap day; below 1 ms truncated
    {125'911'584'000'000'000ull, {2000, 1, 6, 1, 0, 0, 0, 0}},        // Saturday
    {0x7FFF'FFFF'FFFF'FFFFull, {30828, 9, 4, 14, 2, 48, 5, 477}},     // the last FILETIME Windows converts
};

bool same_fields(const os_systemtime& a, const os_systemtime& b) { return same_bytes(a, b); }

}  // namespace

TEST(FileTimeToSystemTime, CalendarFields) {
  for (const auto& r : calendar) {
    SCOPED_TRACE(r.ticks);
    os_filedatetime in = filetime(r.ticks);
    auto out = sentinel_record<os_systemtime>();
    w::SetLastError(error_sentinel);
    ASSERT_TRUE(w::FileTimeToSystemTime(&in, &out));
    EXPECT_EQ(w::GetLastError(), error_sentinel);
    EXPECT_TRUE(same_fields(out, r.fields))
        << out.ui_wyear << "-" << out.ui_wmonth << "-" << out.ui_wday << " dow " << out.ui_wdayofweek << " "
        << out.ui_whour << ":" << out.ui_wminute << ":" << out.ui_wsecond << "." << out.ui_wmilliseconds;
  }
}

TEST(FileTimeToSystemTime, ValuesFrom2To63FailAndLeaveTheRecord) {
  for (std::uint64_t t : {0x8000'0000'0000'0000ull, 0xFFFF'FFFF'FFFF'FFFFull}) {
    os_filedatetime in = filetime(t);
    auto out = sentinel_record<os_systemtime>();
    const auto before = out;
    w::SetLastError(error_sentinel);
    EXPECT_FALSE(w::FileTimeToSystemTime(&in, &out));
    EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(same_fields(out, before));
  }
}

TEST(SystemTimeToFileTime, RoundTripIgnoringTheDayOfWeek) {
  for (const auto& r : calendar) {
    SCOPED_TRACE(r.ticks);
    os_systemtime in = r.fields;
    in.ui_wdayofweek = 9;               // not examined
    if (in.ui_wyear > 30827) continue;  // the last year is not complete
    auto out = sentinel_record<os_filedatetime>();
    ASSERT_TRUE(w::SystemTimeToFileTime(&in, &out));
    EXPECT_EQ(ticks(out), r.ticks / 10'000 * 10'000);  // milliseconds are all that comes back
  }
}

TEST(SystemTimeToFileTime, FieldsOutOfRangeFail) {
  struct row {
    const char* what;
    os_systemtime in;
  } rows[] = {
      {"month 0", {2024, 0, 0, 1, 0, 0, 0, 0}},
      {"month 13", {2024, 13, 0, 1, 0, 0, 0, 0}},
      {"day 0", {2024, 1, 0, 0, 0, 0, 0, 0}},
      {"day 32", {2024, 1, 0, 32, 0, 0, 0, 0}},
      {"31 April", {2024, 4, 0, 31, 0, 0, 0, 0}},
      {"29 February 2023", {2023, 2, 0, 29, 0, 0, 0, 0}},
      {"29 February 1900", {1900, 2, 0, 29, 0, 0, 0, 0}},
      {"30 February 2024", {2024, 2, 0, 30, 0, 0, 0, 0}},
      {"year 1600", {1600, 12, 0, 31, 0, 0, 0, 0}},
      {"year 30828", {30828, 1, 0, 1, 0, 0, 0, 0}},
      {"hour 24", {2024, 1, 0, 1, 24, 0, 0, 0}},
      {"minute 60", {2024, 1, 0, 1, 0, 60, 0, 0}},
      {"second 60", {2024, 1, 0, 1, 0, 0, 60, 0}},
      {"1000 ms", {2024, 1, 0, 1, 0, 0, 0, 1000}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    auto out = sentinel_record<os_filedatetime>();
    w::SetLastError(error_sentinel);
    EXPECT_FALSE(w::SystemTimeToFileTime(&r.in, &out));
    EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(same_bytes(out, sentinel_record<os_filedatetime>()));
  }
  // the edges that do exist
  for (os_systemtime in : {os_systemtime{2000, 2, 0, 29, 0, 0, 0, 0}, os_systemtime{1601, 1, 0, 1, 0, 0, 0, 0},
                           os_systemtime{30827, 12, 0, 31, 23, 59, 59, 999}}) {
    os_filedatetime out;
    EXPECT_TRUE(w::SystemTimeToFileTime(&in, &out)) << in.ui_wyear;
  }
}

namespace {

constexpr std::uint64_t hour = 36'000'000'000ull;
// 2024-01-15 12:00:00.1234567 and 2024-07-15 12:00:00.1234567 UTC
constexpr std::uint64_t winter = 133'497'936'001'234'567ull, summer = 133'655'184'001'234'567ull;
// 2024-03-31 02:30 and 2024-10-27 02:30 local in Berlin (a skipped and a repeated local time)
constexpr std::uint64_t spring_gap_local = 133'563'258'000'000'000ull, autumn_twice_local = 133'744'698'000'000'000ull;

}  // namespace

TEST(LocalFileTime, ShiftedByTheOffsetInForceAtThatMoment) {
  struct row {
    const char* zone;
    std::uint64_t utc;
    std::int64_t offset_hours;
  } rows[] = {
      {"Europe/Berlin", winter, 1},     {"Europe/Berlin", summer, 2}, {"America/New_York", winter, -5},
      {"America/New_York", summer, -4}, {"UTC", summer, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.zone << " " << r.utc);
    tz_guard zone(r.zone);
    os_filedatetime utc = filetime(r.utc), local = sentinel_record<os_filedatetime>(), back;
    w::SetLastError(error_sentinel);
    ASSERT_TRUE(w::FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(static_cast<std::int64_t>(ticks(local) - r.utc), r.offset_hours * static_cast<std::int64_t>(hour));
    ASSERT_TRUE(w::LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(ticks(back), r.utc);
    EXPECT_EQ(w::GetLastError(), error_sentinel);
  }
}

TEST(LocalFileTime, LocalTimesAroundTheClockChanges) {
  tz_guard zone("Europe/Berlin");
  os_filedatetime local = filetime(spring_gap_local), utc;
  ASSERT_TRUE(w::LocalFileTimeToFileTime(&local, &utc));
  EXPECT_EQ(ticks(utc), spring_gap_local - 1 * hour);  // 01:30 UTC, which reads as 03:30 summer time
  local = filetime(autumn_twice_local);
  ASSERT_TRUE(w::LocalFileTimeToFileTime(&local, &utc));
  EXPECT_EQ(ticks(utc), autumn_twice_local - 1 * hour);  // the second 02:30, in winter time
}

TEST(LocalFileTime, ResultsOutsideTheRangeFail) {
  struct row {
    const char* zone;
    std::uint64_t in;
    bool to_local;
  } rows[] = {
      {"America/New_York", 0, true},  // before 1601 in local time
      {"Europe/Berlin", 0x7FFF'FFFF'FFFF'FFFFull, true},
      {"Europe/Berlin", 0, false},
      {"UTC", 0x8000'0000'0000'0000ull, true},
      {"UTC", 0x8000'0000'0000'0000ull, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.zone << " " << r.in << (r.to_local ? " to local" : " to UTC"));
    tz_guard zone(r.zone);
    os_filedatetime in = filetime(r.in), out = sentinel_record<os_filedatetime>();
    w::SetLastError(error_sentinel);
    EXPECT_FALSE(r.to_local ? w::FileTimeToLocalFileTime(&in, &out) : w::LocalFileTimeToFileTime(&in, &out));
    EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(same_bytes(out, sentinel_record<os_filedatetime>()));
  }
}
