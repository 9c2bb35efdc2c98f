// The reader: opening archives, global information and comment, the walk, locating, reading an entry.
#include <gtest/gtest.h>

#include <cmath>

#include "zip_fixtures.hpp"

using api32::blob;
using api32::msg_icon;
using api32::uo_nv_ziplib;
using ziptest::open_archive;

namespace {

class ZipReader : public ziptest::zip_test {};

std::string text_of(const blob& b) { return std::string(b.begin(), b.end()); }

// The full name (last field) of the current entry's listing row.
std::string current_name(uo_nv_ziplib& zl, std::uint32_t handle) {
  std::string row = zl.of_unzgetcurrentfileinfo(handle);
  return row.substr(row.rfind('\t') + 1);
}

}  // namespace

TEST_F(ZipReader, OpenShowsOneBoxForEveryArchiveItCannotRead) {
  for (const char* name : {"missing.zip", "not-a-zip.zip", "empty-file.zip", "truncated.zip"}) {
    SCOPED_TRACE(name);
    boxes.clear();
    EXPECT_EQ(zl.of_unzopen(ziptest::archive(name)), 0u);
    api32::message expected{"Ziplib Error in of_unzopen", "The zip file is invalid or can't be found!", msg_icon::stop};
    EXPECT_EQ(boxes.boxes(), std::vector<api32::message>{expected});
  }
  boxes.clear();
  open_archive ok(zl, "basic.zip");
  EXPECT_NE(ok.handle(), 0u);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ZipReader, GlobalInformationAndComment) {
  open_archive a(zl, "basic.zip");
  std::uint32_t entries = 0, comment_size = 0;
  EXPECT_EQ(zl.of_unzgetglobalinfo(a, entries, comment_size), 0);
  EXPECT_EQ(entries, 7u);
  EXPECT_EQ(comment_size, 15u);
  EXPECT_EQ(zl.of_unzgetglobalcomment(a), "archive comment");

  open_archive none(zl, "three.zip");
  EXPECT_EQ(zl.of_unzgetglobalcomment(none), "");
}

TEST_F(ZipReader, AnArchiveWithoutEntriesOpensAndHasNothingToWalk) {
  open_archive a(zl, "empty.zip");
  ASSERT_NE(a.handle(), 0u);
  EXPECT_TRUE(boxes.boxes().empty());
  std::uint32_t entries = 7, comment_size = 0;
  EXPECT_EQ(zl.of_unzgetglobalinfo(a, entries, comment_size), 0);
  EXPECT_EQ(entries, 0u);
  EXPECT_EQ(comment_size, 14u);
  EXPECT_EQ(zl.of_unzgetglobalcomment(a), "nothing inside");
  EXPECT_EQ(zl.of_unzgotofirstfile(a), uo_nv_ziplib::unz_end_of_list_of_file);
  EXPECT_EQ(zl.of_unzlocatefile(a, "x"), uo_nv_ziplib::unz_end_of_list_of_file);
  EXPECT_EQ(zl.of_unzopencurrentfile(a), uo_nv_ziplib::unz_paramerror);
}

TEST_F(ZipReader, WalkStepsThroughEveryEntryAndEndsWithEndOfList) {
  open_archive a(zl, "three.zip");
  EXPECT_EQ(zl.of_unzgotofirstfile(a), 0);
  EXPECT_EQ(current_name(zl, a), "one.txt");
  EXPECT_EQ(zl.of_unzgotonextfile(a), 0);
  EXPECT_EQ(zl.of_unzgotonextfile(a), 0);
  EXPECT_EQ(current_name(zl, a), "three.txt");
  EXPECT_EQ(zl.of_unzgotonextfile(a), uo_nv_ziplib::unz_end_of_list_of_file);
}

TEST_F(ZipReader, LocateIgnoresCaseAndKeepsTheCurrentEntryOnAMiss) {
  open_archive a(zl, "infozip-tree.zip");
  EXPECT_EQ(zl.of_unzlocatefile(a, "Data/Readme.TXT"), 0);
  EXPECT_EQ(current_name(zl, a), "data/readme.txt");
  // names are compared as stored, separators included
  EXPECT_EQ(zl.of_unzlocatefile(a, "data\\readme.txt"), uo_nv_ziplib::unz_end_of_list_of_file);
  EXPECT_EQ(zl.of_unzlocatefile(a, "nothing.txt"), uo_nv_ziplib::unz_end_of_list_of_file);
  EXPECT_EQ(current_name(zl, a), "data/readme.txt");
  EXPECT_EQ(zl.of_unzlocatefile(a, "DOCS/B.TXT"), 0);
  EXPECT_EQ(current_name(zl, a), "Docs/b.txt");
}

TEST_F(ZipReader, ReadsAnEntryInBlocksOf8192Bytes) {
  open_archive a(zl, "infozip-tree.zip");
  ASSERT_EQ(zl.of_unzlocatefile(a, "a.txt"), 0);
  ASSERT_EQ(zl.of_unzopencurrentfile(a), 0);
  blob data;
  ziptest::read_spy spy;
  EXPECT_EQ(zl.of_unzreadcurrentfile(a, data, 20000), 0);
  std::vector<ziptest::read_call> expected{{8192, 8192}, {8192, 8192}, {8192, 3616}, {8192, 0}};
  EXPECT_EQ(spy.calls(), expected);
  EXPECT_TRUE(ziptest::same_bytes(text_of(data), ziptest::pattern(20000)));
  EXPECT_EQ(zl.of_unzclosecurrentfile(a), 0);
}

TEST_F(ZipReader, ReadFitsTheBlobToTheLengthAskedFor) {
  open_archive a(zl, "basic.zip");
  struct row {
    const char* entry;
    std::uint32_t destlen;
    std::int16_t rc;
    std::string content;
  } rows[] = {
      {"empty.txt", 0, 0, ""},
      {"docs/a.txt", 6, 0, "alpha\n"},
      {"docs/a.txt", 10, 0, "alpha\n    "},                                    // padded with spaces
      {"big.bin", 10000, uo_nv_ziplib::z_buf_error, ziptest::pattern(10000)},  // cut, and said so
      {"big.bin", 8192, uo_nv_ziplib::z_buf_error, ziptest::pattern(8192)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.entry) + " " + std::to_string(r.destlen));
    ASSERT_EQ(zl.of_unzlocatefile(a, r.entry), 0);
    ASSERT_EQ(zl.of_unzopencurrentfile(a), 0);
    blob data{'o', 'l', 'd'};
    EXPECT_EQ(zl.of_unzreadcurrentfile(a, data, r.destlen), r.rc);
    EXPECT_TRUE(ziptest::same_bytes(text_of(data), r.content));
    zl.of_unzclosecurrentfile(a);
  }
}

TEST_F(ZipReader, ReadWithoutAnOpenEntryFails) {
  open_archive a(zl, "basic.zip");
  blob data;
  EXPECT_EQ(zl.of_unzreadcurrentfile(a, data, 100), uo_nv_ziplib::unz_paramerror);
  EXPECT_TRUE(data.empty());
}

TEST_F(ZipReader, ClosedAndForeignHandlesAreRefused) {
  std::uint32_t handle = zl.of_unzopen(ziptest::archive("basic.zip"));
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(zl.of_unzclose(handle), 0);
  for (std::uint32_t stale : {handle, 0u, 0x12345u}) {
    SCOPED_TRACE(stale);
    blob data;
    std::uint32_t entries = 7, size = 7;
    EXPECT_EQ(zl.of_unzclose(stale), uo_nv_ziplib::unz_paramerror);
    EXPECT_EQ(zl.of_unzgotofirstfile(stale), uo_nv_ziplib::unz_paramerror);
    EXPECT_EQ(zl.of_unzgotonextfile(stale), uo_nv_ziplib::unz_paramerror);
    EXPECT_EQ(zl.of_unzlocatefile(stale, "docs/a.txt"), uo_nv_ziplib::unz_paramerror);
    EXPECT_EQ(zl.of_unzopencurrentfile(stale), uo_nv_ziplib::unz_paramerror);
    EXPECT_EQ(zl.of_unzclosecurrentfile(stale), uo_nv_ziplib::unz_paramerror);
    EXPECT_EQ(zl.of_unzreadcurrentfile(stale, data, 10), uo_nv_ziplib::unz_paramerror);
    EXPECT_EQ(zl.of_unzgetglobalinfo(stale, entries, size), uo_nv_ziplib::unz_paramerror);
    EXPECT_EQ(entries, 0u);  // from the fresh record
    EXPECT_EQ(zl.of_unzgetglobalcomment(stale), std::string(500, ' '));
    EXPECT_EQ(zl.of_unzgetcurrentfileinfo(stale), "");
  }
}

TEST_F(ZipReader, GetBitAnswersAsTheRealDivisionDoes) {
  // of_getbit is defined through real division: the remainder modulo 2 of the value divided by 2^(bit - 1)
  for (std::uint32_t value : {0u, 1u, 6u, 33u, 0x21u, 0x80000000u, 0xFFFFFFFFu, 0x12345678u}) {
    for (std::uint16_t bit = 0; bit <= 40; ++bit) {
      bool by_division = bit > 0 && std::trunc(std::fmod(value / std::pow(2.0, bit - 1), 2.0)) > 0;
      EXPECT_EQ(zl.of_getbit(value, bit), by_division) << value << " bit " << bit;
    }
  }
  EXPECT_FALSE(zl.of_getbit(std::nullopt, 1));
}

TEST_F(ZipReader, TheLongestCommentOurWriterWritesReadsBack) {
  // the end record then stands 65,535 + 22 bytes from the end of the file
  api32::testing::write_file(out / "a.txt", "commented\n");
  std::string comment(65535, ' ');
  for (std::size_t i = 0; i < comment.size(); ++i) comment[i] = static_cast<char>('a' + i % 26);
  std::uint32_t z = zl.of_zipopen(out.windows("long-comment.zip"));
  ASSERT_NE(z, 0u);
  ASSERT_EQ(zl.of_importfile(z, out.windows("a.txt"), ""), 0);
  ASSERT_EQ(zl.of_zipclose(z, comment), 0);

  std::uint32_t a = zl.of_unzopen(out.windows("long-comment.zip"));
  ASSERT_NE(a, 0u);
  std::uint32_t entries = 0, comment_size = 0;
  EXPECT_EQ(zl.of_unzgetglobalinfo(a, entries, comment_size), 0);
  EXPECT_EQ(entries, 1u);
  EXPECT_EQ(comment_size, 65535u);
  EXPECT_EQ(zl.of_unzgetglobalcomment(a), comment.substr(0, 500));
  blob data;
  EXPECT_EQ(zl.of_unzgotofirstfile(a), 0);
  EXPECT_EQ(zl.of_unzopencurrentfile(a), 0);
  EXPECT_EQ(zl.of_unzreadcurrentfile(a, data, 10), 0);
  EXPECT_EQ(text_of(data), "commented\n");
  EXPECT_EQ(zl.of_unzclosecurrentfile(a), 0);
  zl.of_unzclose(a);
  EXPECT_TRUE(boxes.boxes().empty());
  // and Python's zipfile reads the same comment
  EXPECT_EQ(api32::testing::run_output(std::string(api32::testing::python()) +
                                       " -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).comment))' '" +
                                       (out / "long-comment.zip") + "'"),
            "65535\n");
}
