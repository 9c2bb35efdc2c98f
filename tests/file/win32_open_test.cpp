// OpenFile, SetFileTime and CloseHandle: the block OpenFile fills, its refusals, and file times set through
// a handle (100 ns, empty records, refusals).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "api32/win32/files.hpp"
#include "api32/win32/files_syscalls.hpp"
#include "file/file_test_support.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using api32::os_filedatetime;
using api32::os_fileopeninfo;
using namespace api32::testing;

namespace {

class OpenFiles : public ::testing::Test {
protected:
  void SetUp() override {
    write_file(dir / "Data.bin", "0123456789");
    std::filesystem::create_directory(dir / "Folder");
  }
  // Opens a file of the fixture and expects success.
  w::HANDLE open(const std::string& name, std::uint32_t style) {
    os_fileopeninfo info;
    std::int32_t handle = w::OpenFile(dir.windows(name), &info, style);
    EXPECT_GT(handle, 0) << name;
    return static_cast<w::HANDLE>(handle);
  }
  temp_dir dir;
};

// 2001-02-03 04:05:06.7890123 UTC, with every 100 ns digit in use
constexpr std::uint64_t some_time = 126'256'467'067'890'123ull;

}  // namespace

TEST_F(OpenFiles, SuccessFillsTheBlockAndReturnsAFileHandle) {
  int descriptors = open_descriptor_count();
  auto info = sentinel_record<os_fileopeninfo>();
  w::SetLastError(error_sentinel);
  std::int32_t handle = w::OpenFile(dir.windows("DATA.BIN"), &info, w::OF_READWRITE);
  ASSERT_GT(handle, 0);
  EXPECT_EQ(w::GetLastError(), error_sentinel);
  EXPECT_EQ(static_cast<unsigned char>(info.c_length), 136u);
  EXPECT_EQ(info.c_fixed_disk, 1);
  EXPECT_EQ(info.ui_dos_error, 0u);
  EXPECT_EQ(info.ui_na1, 0xffffu);  // reserved: not touched
  EXPECT_EQ(info.ui_na2, 0xffffu);
  EXPECT_STREQ(info.c_pathname, dir.windows("Data.bin").c_str());  // the full path, as it is spelt on disk
  EXPECT_EQ(open_descriptor_count(), descriptors + 1);
  EXPECT_TRUE(w::CloseHandle(static_cast<w::HANDLE>(handle)));
  EXPECT_EQ(open_descriptor_count(), descriptors);
  EXPECT_FALSE(w::CloseHandle(static_cast<w::HANDLE>(handle)));
  EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_HANDLE);
}

TEST_F(OpenFiles, APathLongerThanTheBlockIsCutToItsSize) {
  std::string folder = std::string(100, 'f');
  std::filesystem::create_directories(dir / (folder + "/" + folder));
  write_file(dir / (folder + "/" + folder + "/x.bin"), "");
  auto info = sentinel_record<os_fileopeninfo>();
  std::int32_t handle = w::OpenFile(dir.windows(folder + "/" + folder + "/x.bin"), &info, w::OF_READ);
  ASSERT_GT(handle, 0);
  std::string full = dir.windows(folder + "/" + folder + "/x.bin");
  EXPECT_EQ(std::string(info.c_pathname), full.substr(0, 127));
  w::CloseHandle(static_cast<w::HANDLE>(handle));
}

TEST_F(OpenFiles, RefusalsReportTheCodeInTheBlockAndLeaveTheRest) {
  write_file(dir / "ReadOnly.txt", "r");
  ASSERT_EQ(::chmod((dir / "ReadOnly.txt").c_str(), 0444), 0);
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
  struct row {
    const char* what;
    std::string name;
    std::uint32_t style;
    w::DWORD error;
  } rows[] = {
      {"missing file", dir.windows("missing.bin"), w::OF_READ, w::ERROR_FILE_NOT_FOUND},
      {"missing folder", dir.windows("nope/x.bin"), w::OF_READ, w::ERROR_PATH_NOT_FOUND},
      {"folder", dir.windows("Folder"), w::OF_READ, w::ERROR_ACCESS_DENIED},
      // refused by the stand-in itself, even for root, as Windows refuses administrators
      {"read-only file for read/write", dir.windows("ReadOnly.txt"), w::OF_READWRITE, w::ERROR_ACCESS_DENIED},
      {"read-only file for writing", dir.windows("ReadOnly.txt"), w::OF_WRITE, w::ERROR_ACCESS_DENIED},
      {"a FIFO (must not block)", dir.windows("pipe"), w::OF_READ, w::ERROR_ACCESS_DENIED},
      {"unsupported style (OF_CREATE)", dir.windows("Data.bin"), 0x1000, w::ERROR_INVALID_PARAMETER},
      {"access value 3", dir.windows("Data.bin"), 3, w::ERROR_INVALID_PARAMETER},
      {"over 260 characters", dir.windows(std::string(300, 'x')), w::OF_READ, w::ERROR_FILENAME_EXCED_RANGE},
  };
  int descriptors = open_descriptor_count();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    auto info = sentinel_record<os_fileopeninfo>();
    auto expected = info;
    expected.ui_dos_error = static_cast<std::uint16_t>(r.error);
    w::SetLastError(error_sentinel);
    EXPECT_EQ(w::OpenFile(r.name, &info, r.style), w::HFILE_ERROR);
    EXPECT_EQ(w::GetLastError(), r.error);
    EXPECT_TRUE(same_bytes(info, expected));
  }
  EXPECT_EQ(open_descriptor_count(), descriptors);
  // reading a read-only file is fine
  os_fileopeninfo info;
  std::int32_t handle = w::OpenFile(dir.windows("ReadOnly.txt"), &info, w::OF_READ);
  EXPECT_GT(handle, 0);
  w::CloseHandle(static_cast<w::HANDLE>(handle));
}

TEST_F(OpenFiles, SetFileTimeChangesOnlyTheTimesGiven) {
  auto before = status_of(dir / "Data.bin");
  w::HANDLE file = open("Data.bin", w::OF_READWRITE);
  os_filedatetime empty{}, write = filetime(some_time);
  w::SetLastError(error_sentinel);
  ASSERT_TRUE(w::SetFileTime(file, &empty, &empty, &write));
  EXPECT_EQ(w::GetLastError(), error_sentinel);
  auto after = status_of(dir / "Data.bin");
  EXPECT_EQ(ticks_of(after.stx_mtime), some_time);  // to the 100 ns
  EXPECT_EQ(after.stx_mtime.tv_nsec % 100, 0u);
  EXPECT_EQ(after.stx_atime.tv_sec, before.stx_atime.tv_sec);  // untouched, to the nanosecond
  EXPECT_EQ(after.stx_atime.tv_nsec, before.stx_atime.tv_nsec);

  // null pointers and the all-ones value leave times too; the access time alone
  os_filedatetime all_ones = filetime(~0ull), access = filetime(some_time - 10'000'000);
  ASSERT_TRUE(w::SetFileTime(file, nullptr, &access, &all_ones));
  after = status_of(dir / "Data.bin");
  EXPECT_EQ(ticks_of(after.stx_atime), some_time - 10'000'000);
  EXPECT_EQ(ticks_of(after.stx_mtime), some_time);
  ASSERT_TRUE(w::SetFileTime(file, nullptr, nullptr, nullptr));

  // a creation time cannot be set on Linux: accepted, and the birth time stays
  os_filedatetime creation = filetime(some_time);
  ASSERT_TRUE(w::SetFileTime(file, &creation, nullptr, nullptr));
  auto last = status_of(dir / "Data.bin");
  if (last.stx_mask & STATX_BTIME) {
    EXPECT_EQ(ticks_of(last.stx_btime), ticks_of(before.stx_btime));
  }
  w::CloseHandle(file);
}

TEST_F(OpenFiles, TimesBefore1970AndFarAheadRoundTrip) {
  w::HANDLE file = open("Data.bin", w::OF_READWRITE);
  // 1960-06-01 and 2400-01-01 (ext4 keeps 1901 .. 2446)
  for (std::uint64_t t : {113'419'872'001'234'567ull, 252'139'392'000'000'001ull}) {
    os_filedatetime value = filetime(t);
    ASSERT_TRUE(w::SetFileTime(file, nullptr, &value, &value));
    api32::os_finddata record;
    w::HANDLE search = w::FindFirstFileA(dir.windows("Data.bin"), &record);
    ASSERT_NE(search, w::INVALID_HANDLE_VALUE);
    w::FindClose(search);
    EXPECT_EQ(ticks(record.str_lastwritetime), t);
    EXPECT_EQ(ticks(record.str_lastaccesstime), t);
  }
  w::CloseHandle(file);
}

TEST_F(OpenFiles, SetFileTimeRefusals) {
  w::HANDLE reading = open("Data.bin", w::OF_READ);
  w::HANDLE writing = open("Data.bin", w::OF_READWRITE);
  w::HANDLE closed = open("Data.bin", w::OF_READWRITE);
  w::CloseHandle(closed);
  api32::os_finddata found;
  w::HANDLE search = w::FindFirstFileA(dir.windows("Data.bin"), &found);
  auto before = status_of(dir / "Data.bin");
  os_filedatetime time = filetime(some_time), too_large = filetime(0x8000'0000'0000'0000ull);

  struct row {
    const char* what;
    w::HANDLE file;
    const os_filedatetime* write;
    w::DWORD error;
  } rows[] = {
      {"handle opened for reading", reading, &time, w::ERROR_ACCESS_DENIED},
      {"no handle", 0, &time, w::ERROR_INVALID_HANDLE},
      {"closed handle", closed, &time, w::ERROR_INVALID_HANDLE},
      {"search handle", search, &time, w::ERROR_INVALID_HANDLE},
      {"time from 2^63 on", writing, &too_large, w::ERROR_INVALID_PARAMETER},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    w::SetLastError(error_sentinel);
    EXPECT_FALSE(w::SetFileTime(r.file, nullptr, nullptr, r.write));
    EXPECT_EQ(w::GetLastError(), r.error);
  }
  {  // the file system refuses
    auto calls = w::real_file_calls();
    calls.futimens = [](int, const struct timespec*) {
      errno = EPERM;
      return -1;
    };
    w::scoped_file_syscalls refuse(calls);
    w::SetLastError(error_sentinel);
    EXPECT_FALSE(w::SetFileTime(writing, nullptr, nullptr, &time));
    EXPECT_EQ(w::GetLastError(), w::ERROR_ACCESS_DENIED);
  }
  auto after = status_of(dir / "Data.bin");
  EXPECT_EQ(after.stx_mtime.tv_sec, before.stx_mtime.tv_sec);
  EXPECT_EQ(after.stx_mtime.tv_nsec, before.stx_mtime.tv_nsec);
  w::FindClose(search);
  w::CloseHandle(reading);
  w::CloseHandle(writing);
}
