// The runtime's file functions on Windows paths.
#include <gtest/gtest.h>

#include "api32/host/files.hpp"
#include "api32/win32/handles.hpp"
#include "support/test_support.hpp"

namespace f = api32::files;
using api32::testing::read_file;
using api32::testing::temp_dir;
using api32::testing::write_file;

TEST(Files, ExistsAndFolders) {
  temp_dir dir;
  write_file(dir / "a.txt", "x");
  EXPECT_TRUE(f::file_exists(dir.windows("a.txt")));
  EXPECT_TRUE(f::file_exists(dir.windows("A.TXT")));  // found without regard to case
  EXPECT_FALSE(f::file_exists(dir.windows()));
  EXPECT_TRUE(f::directory_exists(dir.windows() + "\\"));
  EXPECT_EQ(f::create_directory(dir.windows("sub")), 1);
  EXPECT_EQ(f::create_directory(dir.windows("sub")), -1);
  EXPECT_EQ(f::create_directory(dir.windows("x\\y")), -1);  // parent missing
  EXPECT_FALSE(f::file_exists(""));
  EXPECT_FALSE(f::file_exists("\\\\server\\share\\a.txt"));
}

TEST(Files, CopyReplaceMoveDelete) {
  temp_dir dir;
  write_file(dir / "a.txt", "hello");
  write_file(dir / "b.txt", "old, longer content");
  EXPECT_EQ(f::file_copy(dir.windows("a.txt"), dir.windows("b.txt"), false), -2);
  EXPECT_EQ(read_file(dir / "b.txt"), "old, longer content");
  EXPECT_EQ(f::file_copy(dir.windows("a.txt"), dir.windows("b.txt"), true), 1);
  EXPECT_EQ(read_file(dir / "b.txt"), "hello");
  EXPECT_EQ(f::file_copy(dir.windows("missing"), dir.windows("c.txt"), true), -1);
  EXPECT_EQ(f::file_copy(dir.windows("a.txt"), dir.windows("no\\such\\c.txt"), true), -2);
  EXPECT_EQ(f::file_move(dir.windows("b.txt"), dir.windows("a.txt")), -2);  // never replaces
  EXPECT_EQ(f::file_move(dir.windows("b.txt"), dir.windows("c.txt")), 1);
  EXPECT_FALSE(api32::testing::exists(dir / "b.txt"));
  EXPECT_EQ(f::file_move(dir.windows("b.txt"), dir.windows("d.txt")), -1);
  EXPECT_TRUE(f::file_delete(dir.windows("c.txt")));
  EXPECT_FALSE(f::file_delete(dir.windows("c.txt")));
  EXPECT_EQ(f::file_length(dir.windows("a.txt")), 5);
}

TEST(Files, StreamReadsInBlocksOfTheRuntimeLimit) {
  temp_dir dir;
  write_file(dir / "big.bin", std::string(70000, 'z'));
  auto handles_before = api32::win32::handles().count();
  std::int32_t n = f::file_open(dir.windows("big.bin"), f::file_access::read);
  ASSERT_GT(n, 0);
  api32::blob block;
  EXPECT_EQ(f::file_read(n, block), 32765);
  EXPECT_EQ(f::file_read(n, block), 32765);
  EXPECT_EQ(f::file_read(n, block), 70000 - 2 * 32765);
  EXPECT_EQ(f::file_read(n, block), -100);
  EXPECT_EQ(f::file_close(n), 1);
  EXPECT_EQ(f::file_close(n), -1);  // a closed number is stale
  EXPECT_EQ(f::file_read(n, block), -1);
  EXPECT_EQ(api32::win32::handles().count(), handles_before);
}

TEST(Files, WriteReplacesAndLockedFileRefusesSecondLock) {
  temp_dir dir;
  write_file(dir / "t.txt", "a much longer old content");
  std::int32_t n =
      f::file_open(dir.windows("t.txt"), f::file_access::write, f::file_lock::lock_read_write, f::write_mode::replace);
  ASSERT_GT(n, 0);
  EXPECT_EQ(f::file_open(dir.windows("t.txt"), f::file_access::write, f::file_lock::lock_read_write), -1);
  EXPECT_EQ(f::file_write(n, api32::blob{'n', 'e', 'w'}), 3);
  EXPECT_EQ(f::file_close(n), 1);
  EXPECT_EQ(read_file(dir / "t.txt"), "new");
  std::int32_t a =
      f::file_open(dir.windows("t.txt"), f::file_access::write, f::file_lock::shared, f::write_mode::append);
  f::file_write(a, api32::blob{'!'});
  f::file_close(a);
  EXPECT_EQ(read_file(dir / "t.txt"), "new!");
  EXPECT_EQ(f::file_open(dir.windows("missing\\x.txt"), f::file_access::write), -1);
  EXPECT_EQ(f::file_open(dir.windows(), f::file_access::read), -1);  // a folder
}
