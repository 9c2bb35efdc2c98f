// FindFirstFileA / FindNextFileA / FindClose: failures that leave the record alone, what a match reports,
// wildcards and their order, handle kinds.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "api32/win32/files.hpp"
#include "file/file_test_support.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using api32::os_finddata;
using namespace api32::testing;

namespace {

class FindFiles : public ::testing::Test {
protected:
  void SetUp() override {
    write_file(dir / "Alpha.txt", "hello");
    write_file(dir / "beta.TXT", "b");
    write_file(dir / "gamma.dat", "");
    write_file(dir / ".hidden", "");
    std::filesystem::create_directory(dir / "Sub");
  }
  temp_dir dir;
};

std::vector<std::string> all_names(const std::string& pattern) {
  std::vector<std::string> names;
  os_finddata record;
  w::HANDLE search = w::FindFirstFileA(pattern, &record);
  if (search == w::INVALID_HANDLE_VALUE) return names;
  do names.emplace_back(record.ch_filename);
  while (w::FindNextFileA(search, &record));
  EXPECT_EQ(w::GetLastError(), w::ERROR_NO_MORE_FILES);
  EXPECT_TRUE(w::FindClose(search));
  return names;
}

}  // namespace

TEST_F(FindFiles, FailuresLeaveTheRecordAndReportTheWindowsCode) {
  std::string base = dir.windows();
  std::string at_limit = base + "\\" + std::string(260 - base.size() - 1, 'a');  // 260 characters: allowed
  struct row {
    const char* what;
    std::string name;
    w::DWORD error;
  } rows[] = {
      {"missing file", base + "\\missing.txt", w::ERROR_FILE_NOT_FOUND},
      {"missing folder", base + "\\nope\\x.txt", w::ERROR_PATH_NOT_FOUND},
      {"file used as a folder", base + "\\Alpha.txt\\x", w::ERROR_PATH_NOT_FOUND},
      {"wildcard without a match", base + "\\*.zip", w::ERROR_FILE_NOT_FOUND},
      {"wildcard in a folder", base + "\\S*\\x", w::ERROR_INVALID_NAME},
      {"trailing separator", base + "\\Sub\\", w::ERROR_FILE_NOT_FOUND},
      {"empty name", "", w::ERROR_PATH_NOT_FOUND},
      {"260 characters, missing", at_limit, w::ERROR_FILE_NOT_FOUND},
      {"261 characters", at_limit + "b", w::ERROR_FILENAME_EXCED_RANGE},
      {"far too long", base + "\\" + std::string(400, 'a'), w::ERROR_FILENAME_EXCED_RANGE},
  };
  const auto before = sentinel_record<os_finddata>();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    os_finddata record = before;
    w::SetLastError(error_sentinel);
    EXPECT_EQ(w::FindFirstFileA(r.name, &record), w::INVALID_HANDLE_VALUE);
    EXPECT_EQ(w::GetLastError(), r.error);
    EXPECT_TRUE(same_bytes(record, before));
  }
  w::SetLastError(error_sentinel);
  EXPECT_EQ(w::FindFirstFileA(base + "\\Alpha.txt", nullptr), w::INVALID_HANDLE_VALUE);
  EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_PARAMETER);
}

TEST_F(FindFiles, AMatchReportsNameSizeAttributesAndTimes) {
  std::size_t searches = w::handles().count(w::handle_kind::find);
  auto record = sentinel_record<os_finddata>();
  w::SetLastError(error_sentinel);
  w::HANDLE search = w::FindFirstFileA(dir.windows("ALPHA.txt"), &record);  // found without regard to case
  ASSERT_NE(search, w::INVALID_HANDLE_VALUE);
  EXPECT_GT(static_cast<std::int32_t>(search), 0);
  EXPECT_EQ(w::GetLastError(), error_sentinel);   // success leaves the last error alone
  EXPECT_STREQ(record.ch_filename, "Alpha.txt");  // the spelling on disk, NUL-terminated
  EXPECT_EQ(record.ch_filename[9], '\0');
  EXPECT_EQ(record.ch_alternatefilename[0], '\0');
  EXPECT_EQ(record.ul_filesizehigh, 0u);
  EXPECT_EQ(record.ul_filesizelow, 5u);
  EXPECT_EQ(record.ul_fileattributes, w::FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(record.ul_reserved0, 0u);
  EXPECT_EQ(record.ul_reserved1, 0u);
  auto sx = status_of(dir / "Alpha.txt");
  EXPECT_EQ(ticks(record.str_lastwritetime), ticks_of(sx.stx_mtime));
  EXPECT_EQ(ticks(record.str_lastaccesstime), ticks_of(sx.stx_atime));
  std::uint64_t creation = ticks_of((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime);
  EXPECT_EQ(ticks(record.str_creationtime), creation);

  // a search for one name has nothing more to report
  const os_finddata after_first = record;
  EXPECT_FALSE(w::FindNextFileA(search, &record));
  EXPECT_EQ(w::GetLastError(), w::ERROR_NO_MORE_FILES);
  EXPECT_TRUE(same_bytes(record, after_first));
  EXPECT_EQ(w::handles().count(w::handle_kind::find), searches + 1);
  EXPECT_TRUE(w::FindClose(search));
  EXPECT_EQ(w::handles().count(w::handle_kind::find), searches);
  // closed: the handle is stale now
  EXPECT_FALSE(w::FindClose(search));
  EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_HANDLE);
  EXPECT_FALSE(w::FindNextFileA(search, &record));
  EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_HANDLE);
}

TEST_F(FindFiles, SizesBeyondFourGigabytesSplitIntoHighAndLow) {
  ASSERT_EQ(::truncate((dir / "gamma.dat").c_str(), (5ll << 30) + 3), 0);  // sparse: no disk used
  os_finddata record;
  w::HANDLE search = w::FindFirstFileA(dir.windows("gamma.dat"), &record);
  ASSERT_NE(search, w::INVALID_HANDLE_VALUE);
  w::FindClose(search);
  EXPECT_EQ(record.ul_filesizehigh, 1u);
  EXPECT_EQ(record.ul_filesizelow, 0x40000003u);
}

TEST_F(FindFiles, WildcardsMatchWithoutCaseInTheOrderNtfsGives) {
  struct row {
    const char* pattern;
    std::vector<std::string> names;
  } rows[] = {
      {"*.txt", {"Alpha.txt", "beta.TXT"}},
      {"?ETA.*", {"beta.TXT"}},
      {"*a*", {"Alpha.txt", "beta.TXT", "gamma.dat"}},
      {"*", {".", "..", ".hidden", "Alpha.txt", "beta.TXT", "gamma.dat", "Sub"}},
      {"*.*", {".", "..", ".hidden", "Alpha.txt", "beta.TXT", "gamma.dat", "Sub"}},
      {"s?b", {"Sub"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.pattern);
    EXPECT_EQ(all_names(dir.windows(r.pattern)), r.names);
  }
}

TEST_F(FindFiles, AttributesOfFoldersDotFilesAndReadOnlyFiles) {
  ASSERT_EQ(::chmod((dir / "beta.TXT").c_str(), 0444), 0);
  struct row {
    const char* name;
    w::DWORD attributes;
    std::uint32_t size;
  } rows[] = {
      {"Sub", w::FILE_ATTRIBUTE_DIRECTORY, 0},  // folders report no size
      {".hidden", w::FILE_ATTRIBUTE_HIDDEN | w::FILE_ATTRIBUTE_ARCHIVE, 0},
      {"beta.txt", w::FILE_ATTRIBUTE_READONLY | w::FILE_ATTRIBUTE_ARCHIVE, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    os_finddata record;
    w::HANDLE search = w::FindFirstFileA(dir.windows(r.name), &record);
    ASSERT_NE(search, w::INVALID_HANDLE_VALUE);
    EXPECT_EQ(record.ul_fileattributes, r.attributes);
    EXPECT_EQ(record.ul_filesizelow, r.size);
    w::FindClose(search);
  }
  // "." and ".." are folders as well
  os_finddata record;
  w::HANDLE search = w::FindFirstFileA(dir.windows("*"), &record);
  ASSERT_NE(search, w::INVALID_HANDLE_VALUE);
  EXPECT_STREQ(record.ch_filename, ".");
  EXPECT_EQ(record.ul_fileattributes, w::FILE_ATTRIBUTE_DIRECTORY);
  w::FindClose(search);
}

TEST_F(FindFiles, AnEntryRemovedDuringTheSearchIsSkipped) {
  os_finddata record;
  w::HANDLE search = w::FindFirstFileA(dir.windows("*.txt"), &record);
  ASSERT_NE(search, w::INVALID_HANDLE_VALUE);
  EXPECT_STREQ(record.ch_filename, "Alpha.txt");
  std::filesystem::remove(dir / "beta.TXT");
  EXPECT_FALSE(w::FindNextFileA(search, &record));
  EXPECT_EQ(w::GetLastError(), w::ERROR_NO_MORE_FILES);
  EXPECT_TRUE(w::FindClose(search));
}

TEST_F(FindFiles, SearchAndFileHandlesDoNotCloseEachOther) {
  os_finddata record;
  api32::os_fileopeninfo info;
  w::HANDLE search = w::FindFirstFileA(dir.windows("Alpha.txt"), &record);
  std::int32_t file = w::OpenFile(dir.windows("Alpha.txt"), &info, w::OF_READ);
  ASSERT_NE(search, w::INVALID_HANDLE_VALUE);
  ASSERT_GT(file, 0);
  w::SetLastError(error_sentinel);
  EXPECT_FALSE(w::CloseHandle(search));
  EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_HANDLE);
  w::SetLastError(error_sentinel);
  EXPECT_FALSE(w::FindClose(static_cast<w::HANDLE>(file)));
  EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_HANDLE);
  EXPECT_FALSE(w::FindNextFileA(static_cast<w::HANDLE>(file), &record));
  EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_HANDLE);
  EXPECT_TRUE(w::FindClose(search));
  EXPECT_TRUE(w::CloseHandle(static_cast<w::HANDLE>(file)));
}
