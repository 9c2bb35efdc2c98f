// The listing: rows of nine tab-separated fields, CR LF between rows, the d_zipfiles table, file types.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "api32/runtime/datastore.hpp"
#include "zip_fixtures.hpp"

using api32::datastore;
using api32::msg_icon;

namespace {

class ZipListing : public ziptest::zip_test {};

std::vector<std::string> split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos) return parts;
    start = at + separator.size();
  }
}

std::vector<std::vector<std::string>> rows_of(const std::string& listing) {
  std::vector<std::vector<std::string>> rows;
  if (listing.empty()) return rows;
  for (const auto& line : split(listing, "\r\n")) rows.push_back(split(line, "\t"));
  return rows;
}

// "yyyy-mm-dd hh:mm:ss"
bool is_datetime_text(const std::string& s) {
  const std::string shape = "dddd-dd-dd dd:dd:dd";
  if (s.size() != shape.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(s[i])) : s[i] != shape[i]) return false;
  return true;
}

enum field { name, type, when, size, ratio, packed, attributes, folder, fullname };

// The fields that do not depend on when the fixture was made.
struct expected_row {
  std::string name, type, size, folder, fullname;
};

void expect_rows(const std::vector<std::vector<std::string>>& rows, const std::vector<expected_row>& expected) {
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(expected[i].fullname);
    ASSERT_EQ(rows[i].size(), 9u);
    EXPECT_EQ(rows[i][name], expected[i].name);
    EXPECT_EQ(rows[i][type], expected[i].type);
    EXPECT_TRUE(is_datetime_text(rows[i][when])) << rows[i][when];
    EXPECT_EQ(rows[i][size], expected[i].size);
    EXPECT_EQ(rows[i][folder], expected[i].folder);
    EXPECT_EQ(rows[i][fullname], expected[i].fullname);
  }
}

}  // namespace

TEST_F(ZipListing, PlainRowsSkipFoldersAndNameFileTypes) {
  expect_rows(rows_of(zl.of_dwdirectory(ziptest::archive("basic.zip"))),
              {
                  {"a.txt", "Text Document", "6", "docs\\", "docs/a.txt"},
                  {"readme.txt", "Text Document", "8", "data\\", "data/readme.txt"},
                  {"readme", "File", "13", "", "readme"},                // no extension
                  {"x.zzq", "ZZQ File", "13", "", "x.zzq"},              // unknown extension
                  {"empty.txt", "Text Document", "0", "", "empty.txt"},  //
                  {"big.bin", "BIN File", "20000", "", "big.bin"},       // a class without a description
              });
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ZipListing, CuVariantAppendsTableRowsWithBackslashes) {
  datastore ds(api32::d_zipfiles());
  ds.setitem(ds.insertrow(0), "filename", "kept");
  std::string listing = zl.of_cudwdirectory(ziptest::archive("basic.zip"), ds, out.windows() + "\\", false);
  expect_rows(rows_of(listing), {
                                    {"a.txt", "Text Document", "6", "docs\\", "docs\\a.txt"},
                                    {"readme.txt", "Text Document", "8", "data\\", "data\\readme.txt"},
                                    {"readme", "File", "13", "", "readme"},
                                    {"x.zzq", "ZZQ File", "13", "", "x.zzq"},
                                    {"empty.txt", "Text Document", "0", "", "empty.txt"},
                                    {"big.bin", "BIN File", "20000", "", "big.bin"},
                                });
  ASSERT_EQ(ds.rowcount(), 7);
  EXPECT_EQ(ds.getitemstring(1, "filename"), "kept");
  EXPECT_EQ(ds.getitemstring(2, "filename"), "a.txt");
  EXPECT_EQ(ds.getitemstring(2, "filepath"), "docs\\");
  EXPECT_EQ(ds.getitemstring(2, "fullname"), "docs\\a.txt");
  EXPECT_EQ(ds.getitemstring(4, "filepath"), "");
  EXPECT_EQ(ds.getitemstring(4, "fullname"), "readme");
  EXPECT_TRUE(std::filesystem::is_empty(out.path())) << "nothing is extracted without ab_extract";
}

TEST_F(ZipListing, DateAttributesAndRatio) {
  auto rows = rows_of(zl.of_dwdirectory(ziptest::archive("details.zip")));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][name], "ra.txt");
  EXPECT_EQ(rows[0][when], "2010-05-21 13:45:30");
  EXPECT_EQ(rows[0][attributes], "RA");  // 0x21
  EXPECT_EQ(rows[1][attributes], "HS");  // 0x06
  EXPECT_EQ(rows[2][name], "quarter.bin");
  EXPECT_EQ(rows[2][size], "1000");
  EXPECT_EQ(rows[2][packed], "250");
  EXPECT_EQ(rows[2][ratio], "0.25");
  EXPECT_EQ(rows[2][attributes], "");  // Unix permissions above the low byte are not attributes
  EXPECT_EQ(rows[3][name], "zero.bin");
  EXPECT_EQ(rows[3][ratio], "0");
}

TEST_F(ZipListing, RowsAreJoinedByCrLfWithoutATrailingOne) {
  std::string listing = zl.of_dwdirectory(ziptest::archive("three.zip"));
  EXPECT_EQ(split(listing, "\r\n").size(), 3u);
  EXPECT_EQ(listing.find('\n'), listing.find("\r\n") + 1);
  EXPECT_NE(listing.substr(listing.size() - 2), "\r\n");
  EXPECT_EQ(listing.substr(0, 8), "one.txt\t");
}

TEST_F(ZipListing, ArchivesWithoutFilesListNothing) {
  for (const char* archive : {"empty.zip", "folders-only.zip"}) {
    SCOPED_TRACE(archive);
    datastore ds(api32::d_zipfiles());
    EXPECT_EQ(zl.of_dwdirectory(ziptest::archive(archive)), "");
    EXPECT_EQ(zl.of_cudwdirectory(ziptest::archive(archive), ds, out.windows() + "\\", true), "");
    EXPECT_EQ(ds.rowcount(), 0);
  }
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ZipListing, AnArchiveThatCannotBeOpenedShowsTwoBoxes) {
  const std::vector<api32::message> expected{
      {"Ziplib Error in of_unzopen", "The zip file is invalid or can't be found!", msg_icon::stop},
      {"Ziplib Error in of_dwdirectory", "Unable to open the zip archive file!", msg_icon::stop}};
  EXPECT_EQ(zl.of_dwdirectory(ziptest::archive("missing.zip")), "");
  EXPECT_EQ(boxes.boxes(), expected);
  boxes.clear();
  datastore ds(api32::d_zipfiles());
  EXPECT_EQ(zl.of_cudwdirectory(ziptest::archive("not-a-zip.zip"), ds, out.windows() + "\\", true), "");
  EXPECT_EQ(boxes.boxes(), expected);
  EXPECT_EQ(ds.rowcount(), 0);
}

TEST_F(ZipListing, Zip64ArchiveListsItsSizes) {
  auto rows = rows_of(zl.of_dwdirectory(ziptest::archive("infozip-zip64.zip")));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][fullname], "a.txt");
  EXPECT_EQ(rows[0][size], "20000");
  EXPECT_EQ(rows[1][fullname], "data/readme.txt");
  EXPECT_EQ(rows[1][size], "8");
}

TEST_F(ZipListing, ExtractingWalkWritesEveryFileBelowTheBase) {
  datastore ds(api32::d_zipfiles());
  std::string base = out.windows("new\\base") + "\\";
  std::string listing = zl.of_cudwdirectory(ziptest::archive("infozip-tree.zip"), ds, base, true);
  EXPECT_EQ(rows_of(listing).size(), 3u);
  EXPECT_TRUE(ziptest::same_bytes(api32::testing::read_file(out / "new/base/a.txt"), ziptest::pattern(20000)));
  EXPECT_EQ(api32::testing::read_file(out / "new/base/data/readme.txt"), "read me\n");
  EXPECT_EQ(api32::testing::read_file(out / "new/base/Docs/b.txt"), "bee\n");
}

TEST_F(ZipListing, TableLayoutHasThreeNamedColumns) {
  const auto& layout = api32::d_zipfiles();
  EXPECT_EQ(layout.name, "d_zipfiles");
  ASSERT_EQ(layout.columns.size(), 3u);
  EXPECT_EQ(layout.columns[0].name, "filename");
  EXPECT_EQ(layout.columns[0].header, "Filename");
  EXPECT_EQ(layout.columns[1].name, "filepath");
  EXPECT_EQ(layout.columns[1].header, "Filepath");
  EXPECT_EQ(layout.columns[2].name, "fullname");
  EXPECT_EQ(layout.columns[2].header, "Fullname");
}
