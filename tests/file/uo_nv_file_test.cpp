// uo_nv_file: conversions between file times and dates/times, reading and setting file times, resetting
// attributes; failures leave the caller's date and time alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <ctime>
#include <filesystem>

#include "api32/file/uo_nv_file.hpp"
#include "api32/win32/files.hpp"
#include "file/file_test_support.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using api32::date;
using api32::os_filedatetime;
using pbtime = api32::time;
using api32::uo_nv_file;
using namespace api32::testing;

namespace {

// The FILETIME of a UTC date and time, by the C library's timegm (independent of the code under test).
std::uint64_t utc_ticks(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  struct tm fields {};
  fields.tm_year = y - 1900;
  fields.tm_mon = mo - 1;
  fields.tm_mday = d;
  fields.tm_hour = h;
  fields.tm_min = mi;
  fields.tm_sec = s;
  return static_cast<std::uint64_t>(::timegm(&fields) + 11'644'473'600LL) * 10'000'000u + ms * 10'000u;
}

// What a failed call must leave behind.
const date date_sentinel{1234, 5, 6};
const pbtime time_sentinel{7, 8, 9, 10};

api32::os_finddata find(const std::string& windows_name) {
  api32::os_finddata record{};
  w::HANDLE search = w::FindFirstFileA(windows_name, &record);
  EXPECT_NE(search, w::INVALID_HANDLE_VALUE) << windows_name;
  w::FindClose(search);
  return record;
}

}  // namespace

namespace api32 {
void PrintTo(const date& d, std::ostream* out) { *out << d.to_string(); }
void PrintTo(const time& t, std::ostream* out) { *out << t.to_string(); }
}  // namespace api32

TEST(UoNvFileConversions, FileTimeToDateAndTime) {
  struct row {
    std::uint64_t ticks;
    date d;
    pbtime t;
  } rows[] = {
      // 09:05:07.042 goes through the text "9:5:7:42"; the fourth field comes back as milliseconds
      {utc_ticks(2024, 3, 9, 9, 5, 7, 42), {2024, 3, 9}, {9, 5, 7, 42'000}},
      {utc_ticks(1999, 12, 31, 23, 59, 59, 999) + 9'999, {1999, 12, 31}, {23, 59, 59, 999'000}},
      {0, {1601, 1, 1}, {0, 0, 0, 0}},
      {utc_ticks(9999, 12, 31, 23, 59, 59), {9999, 12, 31}, {23, 59, 59, 0}},
  };
  uo_nv_file file;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.ticks);
    date d = date_sentinel;
    pbtime t = time_sentinel;
    EXPECT_EQ(file.of_convertfiledatetimetopb(filetime(r.ticks), d, t), 1);
    EXPECT_EQ(d, r.d);
    EXPECT_EQ(t, r.t);
  }
  // beyond the range SYSTEMTIME holds, and past the year 9999 the host's date holds: -1, nothing changed
  for (std::uint64_t bad : {std::uint64_t{1} << 63, ~std::uint64_t{0}, utc_ticks(10000, 1, 1, 0, 0, 0)}) {
    SCOPED_TRACE(bad);
    date d = date_sentinel;
    pbtime t = time_sentinel;
    EXPECT_EQ(file.of_convertfiledatetimetopb(filetime(bad), d, t), -1);
    EXPECT_EQ(file.of_convertfiledatetimetopblocal(filetime(bad), d, t), -1);
    EXPECT_EQ(d, date_sentinel);
    EXPECT_EQ(t, time_sentinel);
  }
}

TEST(UoNvFileConversions, DateAndTimeToFileTime) {
  struct row {
    const char* what;
    date d;
    pbtime t;
    std::int16_t result;
    std::uint64_t ticks;
  } rows[] = {
      {"fraction: milliseconds only", {2023, 11, 5}, {14, 3, 9, 250'999}, 1, utc_ticks(2023, 11, 5, 14, 3, 9, 250)},
      {"two-digit year 49 is 2049", {49, 6, 1}, {12, 0, 0, 0}, 1, utc_ticks(2049, 6, 1, 12, 0, 0)},
      {"two-digit year 50 is 1950", {50, 6, 1}, {12, 0, 0, 0}, 1, utc_ticks(1950, 6, 1, 12, 0, 0)},
      {"year 99 is 1999", {99, 12, 31}, {23, 59, 59, 999'999}, 1, utc_ticks(1999, 12, 31, 23, 59, 59, 999)},
      {"year 1 is 2001", {1, 1, 1}, {0, 0, 0, 0}, 1, utc_ticks(2001, 1, 1, 0, 0, 0)},
      {"leap day kept", {2024, 2, 29}, {0, 0, 0, 0}, 1, utc_ticks(2024, 2, 29, 0, 0, 0)},
      {"year 100 stays: before 1601", {100, 1, 1}, {0, 0, 0, 0}, -1, 0},
      {"year 1600", {1600, 12, 31}, {23, 59, 59, 0}, -1, 0},
      {"30 February", {2024, 2, 30}, {0, 0, 0, 0}, -1, 0},
      {"hour 24", {2024, 1, 1}, {24, 0, 0, 0}, -1, 0},
      {"negative year", {-5, 1, 1}, {0, 0, 0, 0}, -1, 0},
      {"fraction over a second", {2024, 1, 1}, {0, 0, 0, 2'000'000}, -1, 0},
  };
  uo_nv_file file;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    auto out = sentinel_record<os_filedatetime>();
    EXPECT_EQ(file.of_convertpbdatetimetofile(r.d, r.t, out), r.result);
    if (r.result == 1)
      EXPECT_EQ(ticks(out), r.ticks);
    else
      EXPECT_TRUE(same_bytes(out, sentinel_record<os_filedatetime>()));
  }
}

TEST(UoNvFileConversions, LocalTimeInWinterAndSummer) {
  tz_guard zone("Europe/Berlin");
  struct row {
    std::uint64_t utc;
    date d;
    pbtime t;
  } rows[] = {
      {utc_ticks(2024, 1, 15, 12, 0, 0, 5), {2024, 1, 15}, {13, 0, 0, 5'000}},  // CET, +1
      {utc_ticks(2024, 7, 15, 12, 0, 0), {2024, 7, 15}, {14, 0, 0, 0}},         // CEST, +2
      {utc_ticks(2024, 7, 15, 23, 30, 0), {2024, 7, 16}, {1, 30, 0, 0}},        // into the next day
  };
  uo_nv_file file;
  for (const auto& r : rows) {
    date d = date_sentinel;
    pbtime t = time_sentinel;
    EXPECT_EQ(file.of_convertfiledatetimetopblocal(filetime(r.utc), d, t), 1);
    EXPECT_EQ(d, r.d);
    EXPECT_EQ(t, r.t);
  }
}

class UoNvFile : public ::testing::Test {
protected:
  void SetUp() override {
    write_file(dir / "file.txt", "content");
    name = dir.windows("file.txt");
  }
  temp_dir dir;
  std::string name;
  uo_nv_file file;
};

TEST_F(UoNvFile, MissingFilesAndBadNamesFailAndLeaveTheArguments) {
  std::string names[] = {dir.windows("missing.txt"), dir.windows("nope\\file.txt"), dir.windows("*.zip"),
                         dir.windows(std::string(300, 'n')), ""};
  for (const auto& n : names) {
    SCOPED_TRACE(n);
    date d = date_sentinel;
    pbtime t = time_sentinel;
    EXPECT_EQ(file.of_getcreationdatetime(n, d, t), -1);
    EXPECT_EQ(file.of_getlastwritedatetime(n, d, t), -1);
    EXPECT_EQ(file.of_getlastwritedatetimelocal(n, d, t), -1);
    EXPECT_EQ(file.of_setlastwritedatetime(n, date{2024, 1, 1}, pbtime{}), -1);
    EXPECT_EQ(d, date_sentinel);
    EXPECT_EQ(t, time_sentinel);
    EXPECT_EQ(file.of_setfileattribute_normal(n), 1);  // always
  }
}

TEST_F(UoNvFile, SetThenGetRoundTripsInUtcAndLocalIsShifted) {
  std::size_t handles_before = w::handles().count();
  struct row {
    date d;
    pbtime t;
    int local_hour;
    date local_date;
  } rows[] = {
      {{2023, 1, 20}, {14, 3, 9, 250'000}, 15, {2023, 1, 20}},  // winter, +1
      {{2023, 7, 20}, {23, 15, 0, 0}, 1, {2023, 7, 21}},        // summer, +2, into the next day
      {{1950, 6, 1}, {8, 0, 0, 0}, 9, {1950, 6, 1}},            // before 1970 (Germany kept no summer time then)
  };
  tz_guard zone("Europe/Berlin");
  for (const auto& r : rows) {
    SCOPED_TRACE(r.d.to_string());
    ASSERT_EQ(file.of_setlastwritedatetime(name, r.d, r.t), 1);
    date d = date_sentinel;
    pbtime t = time_sentinel;
    ASSERT_EQ(file.of_getlastwritedatetime(name, d, t), 1);
    EXPECT_EQ(d, r.d);
    EXPECT_EQ(t, r.t);  // hour, minute, second, and the milliseconds
    ASSERT_EQ(file.of_getlastwritedatetimelocal(name, d, t), 1);
    EXPECT_EQ(d, r.local_date);
    EXPECT_EQ(t.hour, r.local_hour);
    EXPECT_EQ(t.minute, r.t.minute);
    EXPECT_EQ(t.second, r.t.second);
  }
  EXPECT_EQ(w::handles().count(), handles_before);  // every search and file handle closed
}

TEST_F(UoNvFile, SettingKeepsCreationAndLastAccessTimes) {
  // an access time distinct from the others, so that a reset to "now" or to the write time shows
  os_filedatetime access = filetime(utc_ticks(2020, 2, 2, 2, 2, 2) + 1234567);
  api32::os_fileopeninfo info;
  std::int32_t handle = w::OpenFile(name, &info, w::OF_READWRITE);
  ASSERT_GT(handle, 0);
  ASSERT_TRUE(w::SetFileTime(static_cast<w::HANDLE>(handle), nullptr, &access, nullptr));
  w::CloseHandle(static_cast<w::HANDLE>(handle));
  auto before = find(name);

  ASSERT_EQ(file.of_setlastwritedatetime(name, date{2022, 8, 8}, pbtime{8, 8, 8, 0}), 1);
  auto after = find(name);
  EXPECT_EQ(ticks(after.str_lastaccesstime), ticks(before.str_lastaccesstime));
  EXPECT_EQ(ticks(after.str_lastwritetime), utc_ticks(2022, 8, 8, 8, 8, 8));
  if (!(status_of(dir / "file.txt").stx_mask & STATX_BTIME))
    GTEST_SKIP() << "no birth time on this file system: the creation time is the change time, which any change moves";
  EXPECT_EQ(ticks(after.str_creationtime), ticks(before.str_creationtime));
  date d = date_sentinel;
  pbtime t = time_sentinel;
  ASSERT_EQ(file.of_getcreationdatetime(name, d, t), 1);
  date cd;
  pbtime ct;
  ASSERT_EQ(file.of_convertfiledatetimetopb(before.str_creationtime, cd, ct), 1);
  EXPECT_EQ(d, cd);
  EXPECT_EQ(t, ct);
}

TEST_F(UoNvFile, AReadOnlyHiddenSystemFileIsSetAndLeftNormal) {
  std::string path = dir / "file.txt";
  bool xattrs = ::setxattr(path.c_str(), "user.DOSATTRIB", "0x26", 4, 0) == 0;
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(w::GetFileAttributesA(name) & w::FILE_ATTRIBUTE_READONLY, w::FILE_ATTRIBUTE_READONLY);
  if (xattrs) {
    ASSERT_EQ(w::GetFileAttributesA(name), 0x27u);
  }
  ASSERT_EQ(file.of_setlastwritedatetime(name, date{2021, 4, 5}, pbtime{6, 7, 8, 0}), 1);
  EXPECT_EQ(ticks(find(name).str_lastwritetime), utc_ticks(2021, 4, 5, 6, 7, 8));
  EXPECT_EQ(w::GetFileAttributesA(name), xattrs ? uo_nv_file::file_attribute_normal
                                                : uo_nv_file::file_attribute_archive);  // archive stays without a store
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
}

TEST_F(UoNvFile, FailuresAfterTheSearch) {
  std::string path = dir / "file.txt";
  ::chmod(path.c_str(), 0444);
  // a date the file time cannot take fails before the attributes are touched
  EXPECT_EQ(file.of_setlastwritedatetime(name, date{1600, 1, 1}, pbtime{}), -1);
  EXPECT_EQ(w::GetFileAttributesA(name) & w::FILE_ATTRIBUTE_READONLY, w::FILE_ATTRIBUTE_READONLY);
  // a folder is found but cannot be opened as a file
  std::filesystem::create_directory(dir / "Folder");
  auto before = find(dir.windows("Folder"));
  EXPECT_EQ(file.of_setlastwritedatetime(dir.windows("Folder"), date{2024, 1, 1}, pbtime{}), -1);
  EXPECT_EQ(ticks(find(dir.windows("Folder")).str_lastwritetime), ticks(before.str_lastwritetime));
}

TEST_F(UoNvFile, AWildcardNameGivesTheFirstMatch) {
  write_file(dir / "b.log", "");
  write_file(dir / "A.log", "");
  ASSERT_EQ(file.of_setlastwritedatetime(dir.windows("A.log"), date{2010, 10, 10}, pbtime{10, 10, 10, 0}), 1);
  ASSERT_EQ(file.of_setlastwritedatetime(dir.windows("b.log"), date{2011, 11, 11}, pbtime{11, 11, 11, 0}), 1);
  date d;
  pbtime t;
  ASSERT_EQ(file.of_getlastwritedatetime(dir.windows("?.LOG"), d, t), 1);
  EXPECT_EQ(d, (date{2010, 10, 10}));
  EXPECT_EQ(t, (pbtime{10, 10, 10, 0}));
}

TEST_F(UoNvFile, SetFileAttributeNormalClearsTheBits) {
  std::string path = dir / "file.txt";
  ::chmod(path.c_str(), 0444);
  EXPECT_EQ(file.of_setfileattribute_normal(name), 1);
  EXPECT_EQ(w::GetFileAttributesA(name) & w::FILE_ATTRIBUTE_READONLY, 0u);
  if (::getxattr(path.c_str(), "user.DOSATTRIB", nullptr, 0) >= 0) {
    EXPECT_EQ(w::GetFileAttributesA(name), uo_nv_file::file_attribute_normal);
  }
}
