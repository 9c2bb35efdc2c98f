// full_disk_test.cpp - extraction into a file system that fills up: the failure is reported, and no
// half-written file is left under an entry's name (nor a temporary one beside it), nor an older file lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "api32/host/host_services.hpp"
#include "api32/runtime/datastore.hpp"
#include "api32/runtime/registry.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "stress_support.hpp"
#include "support/test_support.hpp"
#include "tools/rar/command_line.hpp"
#include "tools/rar/commands.hpp"
#include "tools/rar/exit_status.hpp"

namespace {

using api32::testing::exists;
using api32::testing::read_file;
using api32::testing::temp_dir;

constexpr std::size_t small_size = 64 * 1024;  // far less than big.bin inflates to

// The names in a folder, hidden ones included.
std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ZipFullDisk : public ::testing::Test {
protected:
  void SetUp() override {
    api32::registry::reset();
    api32::registry::use_content_types(false);
    // Python's zipfile: a small file, one of 1 MiB (a few KiB deflated), another small one after it
    ASSERT_EQ(api32::testing::run(std::string(api32::testing::python()) +
                                  " -c \"import zipfile; z = zipfile.ZipFile('" + dir / "full.zip" +
                                  "', 'w', zipfile.ZIP_DEFLATED); z.writestr('small.txt', 'small\\n' * 10); "
                                  "z.writestr('big.bin', bytes(range(256)) * 4096); z.writestr('after.txt', 'after'); "
                                  "z.close()\""),
              0);
    fs = std::make_unique<stress::small_filesystem>(dir / "fs", small_size);
    if (!fs->ok()) GTEST_SKIP() << fs->why();
    free_at_start = fs->free_bytes();
    archive = zl.of_unzopen(dir.windows("full.zip"));
    ASSERT_NE(archive, 0u);
  }
  void TearDown() override {
    if (archive != 0) zl.of_unzclose(archive);
    fs.reset();
  }
  std::string target(const std::string& name) const { return dir.windows("fs/" + name); }

  temp_dir dir;
  std::unique_ptr<stress::small_filesystem> fs;
  std::uint64_t free_at_start = 0;
  api32::testing::recorded_boxes boxes;
  api32::uo_nv_ziplib zl;
  std::uint32_t archive = 0;
};

TEST_F(ZipFullDisk, FailedExtractionLeavesNothingAndFreesItsSpace) {
  EXPECT_FALSE(zl.of_extractfile(archive, "big.bin", target("big.bin"), dir.windows("fs") + "\\"));
  EXPECT_EQ(names_in(fs->path()), std::vector<std::string>{}) << "no big.bin, and no temporary file beside it";
  EXPECT_EQ(fs->free_bytes(), free_at_start);
  // the space is back: the next entry extracts
  EXPECT_TRUE(zl.of_extractfile(archive, "small.txt", target("small.txt"), dir.windows("fs") + "\\"));
  EXPECT_EQ(read_file(fs->path() + "/small.txt").size(), 60u);
}

TEST_F(ZipFullDisk, FailedExtractionKeepsTheFileItWouldHaveReplaced) {
  api32::testing::write_file(fs->path() + "/big.bin", "older version");
  EXPECT_FALSE(zl.of_extractfile(archive, "big.bin", target("big.bin"), dir.windows("fs") + "\\"));
  EXPECT_EQ(read_file(fs->path() + "/big.bin"), "older version");
  EXPECT_EQ(names_in(fs->path()), std::vector<std::string>{"big.bin"});
}

// The declared sizes are added up before anything is written: an archive that cannot fit is refused whole,
// every entry reported, rather than found out by a full disk half-way.
TEST_F(ZipFullDisk, ExtractingListingThatCannotFitWritesNothingAndReportsEveryEntry) {
  std::map<std::string, std::string> reported;
  api32::host::globals().entry_not_extracted = [&](const api32::host::skipped_entry& e) {
    reported[e.entry] = e.reason;
  };
  api32::datastore table(api32::d_zipfiles());
  std::string listing = zl.of_cudwdirectory(dir.windows("full.zip"), table, dir.windows("fs") + "\\", true);
  api32::host::globals().entry_not_extracted = nullptr;
  EXPECT_EQ(table.rowcount(), 3);
  EXPECT_NE(listing.find("big.bin"), std::string::npos);
  EXPECT_EQ(names_in(fs->path()), std::vector<std::string>{});
  EXPECT_EQ(fs->free_bytes(), free_at_start);
  ASSERT_EQ(reported.size(), 3u);
  for (const auto& [entry, reason] : reported)
    EXPECT_EQ(reason.substr(0, 58), "not enough space: the archive would write 1048641 bytes, t") << entry;
}

// The archiver: files of 4096 bytes into room for two. Their declared sizes are added up first: nothing is
// written, and the failure says why.
TEST(RarFullDisk, AnArchiveThatCannotFitWritesNothing) {
  temp_dir dir;
  stress::small_filesystem fs(dir / "fs", 2 * 4096);
  if (!fs.ok()) GTEST_SKIP() << fs.why();
  rartool::options opt;
  opt.command = 'x';
  opt.archive = api32::testing::source_dir() + "/tests/fixtures/rar/test_read_format_rar5_multiple_files.rar";
  opt.masks = {"*"};
  opt.destination = dir.windows("fs") + "\\";
  rartool::status st(true);
  std::vector<std::string> messages;
  st.on_message = [&](const std::string& line) { messages.push_back(line); };
  rartool::run_extract(opt, st);

  EXPECT_EQ(st.code(), rartool::exit_code::write_error);
  EXPECT_EQ(names_in(fs.path()), std::vector<std::string>{});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("not enough space: the entries need "), std::string::npos) << messages[0];
  // one file of them fits, and is written
  opt.masks = {"test1.bin"};
  rartool::status one(true);
  rartool::run_extract(opt, one);
  EXPECT_EQ(one.code(), rartool::exit_code::success);
  EXPECT_EQ(names_in(fs.path()), std::vector<std::string>{"test1.bin"});
}

}  // namespace
