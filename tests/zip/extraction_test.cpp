// Extraction to files and into memory: blocks, truncation, folders, replacing targets safely.
#include <gtest/gtest.h>

#include <filesystem>

#include "api32/runtime/files.hpp"
#include "api32/win32/handles.hpp"
#include "zip_fixtures.hpp"

using api32::blob;
using api32::msg_icon;
using api32::testing::read_file;
using api32::testing::write_file;
using ziptest::open_archive;
namespace fs = std::filesystem;

namespace {

class ZipExtraction : public ziptest::zip_test {
protected:
  void SetUp() override {
    zip_test::SetUp();
    streams_ = api32::win32::handles().count(api32::win32::handle_kind::stream);
  }
  void TearDown() override {
    EXPECT_EQ(api32::win32::handles().count(api32::win32::handle_kind::stream), streams_) << "a file was left open";
    for (const auto& e : fs::recursive_directory_iterator(out.path()))
      EXPECT_EQ(e.path().filename().string().find(".api32-"), std::string::npos) << "temporary file left: " << e.path();
    zip_test::TearDown();
  }
  // The Windows path of a place in the test's output folder, with a trailing backslash for folders.
  std::string target(const std::string& relative) { return out.windows(relative); }
  std::string folder(const std::string& relative) { return out.windows(relative) + "\\"; }

private:
  std::size_t streams_ = 0;
};

}  // namespace

TEST_F(ZipExtraction, WritesTheWholeEntryInBlocksAndReplacesALongerFile) {
  open_archive a(zl, "infozip-tree.zip");
  write_file(out / "a.txt", std::string(50000, 'x'));
  ziptest::read_spy spy;
  EXPECT_TRUE(zl.of_extractfile(a, "A.TXT", target("a.txt"), folder("")));
  std::vector<ziptest::read_call> expected{{8192, 8192}, {8192, 8192}, {8192, 3616}, {8192, 0}};
  EXPECT_EQ(spy.calls(), expected);
  EXPECT_TRUE(ziptest::same_bytes(read_file(out / "a.txt"), ziptest::pattern(20000)));
}

TEST_F(ZipExtraction, EmptyEntryGivesAnEmptyFile) {
  open_archive a(zl, "basic.zip");
  EXPECT_TRUE(zl.of_extractfile(a, "empty.txt", target("empty.txt"), folder("")));
  ASSERT_TRUE(fs::is_regular_file(out / "empty.txt"));
  EXPECT_EQ(fs::file_size(out / "empty.txt"), 0u);
}

TEST_F(ZipExtraction, CreatesMissingFoldersLevelByLevel) {
  open_archive a(zl, "basic.zip");
  EXPECT_TRUE(zl.of_extractfile(a, "docs/a.txt", target("x\\y\\z\\a.txt"), folder("x\\y\\z")));
  EXPECT_EQ(read_file(out / "x/y/z/a.txt"), "alpha\n");
}

TEST_F(ZipExtraction, UnknownNameCreatesNeitherFolderNorFile) {
  open_archive a(zl, "basic.zip");
  EXPECT_FALSE(zl.of_extractfile(a, "nothing.txt", target("new\\nothing.txt"), folder("new")));
  EXPECT_FALSE(fs::exists(out / "new"));
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ZipExtraction, CurrentEntryExtractionIgnoresTheNameItIsGiven) {
  open_archive a(zl, "three.zip");
  ASSERT_EQ(zl.of_unzgotofirstfile(a), 0);
  ASSERT_EQ(zl.of_unzgotonextfile(a), 0);
  EXPECT_TRUE(zl.of_cuextractfile(a, "one.txt", target("got.txt"), folder("")));
  EXPECT_EQ(read_file(out / "got.txt"), "two.txt");
  // the walk can go on from the entry it was at
  EXPECT_EQ(zl.of_unzgotonextfile(a), 0);
  EXPECT_TRUE(zl.of_cuextractfile(a, "", target("got.txt"), folder("")));
  EXPECT_EQ(read_file(out / "got.txt"), "three.txt");
}

TEST_F(ZipExtraction, TargetsThatCannotBeWrittenGiveFalseAndStayAsTheyWere) {
  open_archive a(zl, "basic.zip");
  // a folder of the target's name
  fs::create_directories(out / "folder.txt");
  EXPECT_FALSE(zl.of_extractfile(a, "docs/a.txt", target("folder.txt"), folder("")));
  EXPECT_TRUE(fs::is_directory(out / "folder.txt"));
  // a file another holder has locked
  write_file(out / "locked.txt", "in use");
  std::int32_t holder =
      api32::files::file_open(target("locked.txt"), api32::files::file_access::write,
                              api32::files::file_lock::lock_read_write, api32::files::write_mode::append);
  ASSERT_GT(holder, 0);
  EXPECT_FALSE(zl.of_extractfile(a, "docs/a.txt", target("locked.txt"), folder("")));
  api32::files::file_close(holder);
  EXPECT_EQ(read_file(out / "locked.txt"), "in use");
  // once free it is replaced
  EXPECT_TRUE(zl.of_extractfile(a, "docs/a.txt", target("locked.txt"), folder("")));
  EXPECT_EQ(read_file(out / "locked.txt"), "alpha\n");
}

TEST_F(ZipExtraction, ASymbolicLinkAtTheTargetIsReplacedNotFollowed) {
  open_archive a(zl, "basic.zip");
  fs::create_directories(out / "elsewhere");
  write_file(out / "elsewhere/victim.txt", "untouched");
  fs::create_symlink(out / "elsewhere/victim.txt", out / "a.txt");
  EXPECT_TRUE(zl.of_extractfile(a, "docs/a.txt", target("a.txt"), folder("")));
  EXPECT_FALSE(fs::is_symlink(out / "a.txt"));
  EXPECT_EQ(read_file(out / "a.txt"), "alpha\n");
  EXPECT_EQ(read_file(out / "elsewhere/victim.txt"), "untouched");
}

TEST_F(ZipExtraction, BlobHoldsTheEntryOrReportsAMissingName) {
  open_archive a(zl, "infozip-tree.zip");
  blob data;
  EXPECT_TRUE(zl.of_extractblob(a, "data/README.txt", data));
  EXPECT_EQ(std::string(data.begin(), data.end()), "read me\n");
  EXPECT_TRUE(zl.of_extractblob(a, "a.txt", data));
  EXPECT_TRUE(ziptest::same_bytes(std::string(data.begin(), data.end()), ziptest::pattern(20000)));
  EXPECT_TRUE(boxes.boxes().empty());

  EXPECT_FALSE(zl.of_extractblob(a, "nothing.txt", data));
  std::vector<api32::message> expected{
      {"Ziplib Error in of_extractfile", "Unable to locate file within archive!", msg_icon::stop}};
  EXPECT_EQ(boxes.boxes(), expected);
}

TEST_F(ZipExtraction, AFailedBlobExtractionNeverLeavesTheCallersOldBytes) {
  // an entry that cannot be opened (encrypted, an unknown method) or found: the buffer no longer holds
  // what it held before, which a caller would take for the entry's data
  const struct {
    const char* archive;
    const char* entry;
  } rows[] = {
      {"encrypted-flag.zip", "secret.txt"}, {"method-unknown.zip", "m.bin"}, {"infozip-tree.zip", "nothing.txt"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.archive);
    open_archive a(zl, r.archive);
    std::string stale = "bytes of an earlier entry";
    blob data(stale.begin(), stale.end());
    EXPECT_FALSE(zl.of_extractblob(a, r.entry, data));
    EXPECT_TRUE(data.empty()) << std::string(data.begin(), data.end());
  }
}

TEST_F(ZipExtraction, EntriesWithZip64SizesAndOffsetsExtract) {
  // sizes and local header offsets given in Zip64 extra fields, as entries beyond 4 GiB have them
  std::string text;
  for (int i = 0; i < 300; ++i) text += "zip64 fields\n";
  const struct {
    const char* entry;
    std::string content;
  } rows[] = {{"sizes.txt", text},
              {"stored.bin", ziptest::pattern(3000)},
              {"moved.txt", text},
              {"all.bin", ziptest::pattern(70000)},
              {"empty64.txt", ""}};
  open_archive a(zl, "zip64-fields.zip");
  for (const auto& r : rows) {
    SCOPED_TRACE(r.entry);
    blob data;
    EXPECT_TRUE(zl.of_extractblob(a, r.entry, data));
    EXPECT_TRUE(ziptest::same_bytes(std::string(data.begin(), data.end()), r.content));
    EXPECT_TRUE(zl.of_extractfile(a, r.entry, target(r.entry), folder("")));
    EXPECT_TRUE(ziptest::same_bytes(read_file(out / r.entry), r.content));
    std::string row = zl.of_unzgetcurrentfileinfo(a);
    EXPECT_NE(row.find("\t" + std::to_string(r.content.size()) + "\t"), std::string::npos) << row;
  }
}

TEST_F(ZipExtraction, Zip64EntriesExtract) {
  open_archive a(zl, "infozip-zip64.zip");
  EXPECT_TRUE(zl.of_extractfile(a, "a.txt", target("a.txt"), folder("")));
  EXPECT_TRUE(ziptest::same_bytes(read_file(out / "a.txt"), ziptest::pattern(20000)));
  blob data;
  EXPECT_TRUE(zl.of_extractblob(a, "data/readme.txt", data));
  EXPECT_EQ(std::string(data.begin(), data.end()), "read me\n");
}
