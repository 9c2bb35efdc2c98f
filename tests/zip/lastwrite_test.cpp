// of_setlastwritedatetime: a ready-made file time as the last-write time, the last-access time kept.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "zip_fixtures.hpp"

namespace {

class ZipLastWrite : public ziptest::zip_test {};

// 2010-05-21 13:45:30 UTC as a count of 100-nanosecond intervals since 1601-01-01.
constexpr std::uint64_t unix_seconds = 1274449530;
constexpr std::uint64_t file_time = (unix_seconds + 11644473600ull) * 10000000ull;

}  // namespace

TEST_F(ZipLastWrite, SetsTheLastWriteTimeAndKeepsTheLastAccessTime) {
  api32::testing::write_file(out / "stamp.txt", "x");
  struct timespec times[2] = {{1000000000, 0}, {1100000000, 0}};  // access, modification
  ASSERT_EQ(::utimensat(AT_FDCWD, (out / "stamp.txt").c_str(), times, 0), 0);

  api32::os_filedatetime when;
  when.ul_lowdatetime = static_cast<std::uint32_t>(file_time);
  when.ul_highdatetime = static_cast<std::uint32_t>(file_time >> 32);
  EXPECT_EQ(zl.of_setlastwritedatetime(out.windows("stamp.txt"), when), 1);
  struct stat st;
  ASSERT_EQ(::stat((out / "stamp.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, static_cast<time_t>(unix_seconds));
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
}

TEST_F(ZipLastWrite, AMissingFileGivesMinusOne) {
  api32::os_filedatetime when;
  when.ul_lowdatetime = 1;
  EXPECT_EQ(zl.of_setlastwritedatetime(out.windows("missing.txt"), when), -1);
  EXPECT_FALSE(api32::testing::exists(out / "missing.txt"));
}
