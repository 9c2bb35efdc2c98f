// The writer's naming rules: entry names from paths, names that would climb out, the UTF-8 flag, the Zip64
// threshold and the MS-DOS date range.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "api32/zip/ziplib_writer_names.hpp"

namespace {

struct name_case {
  const char* filename;
  const char* folder;
  std::optional<std::string> name;  // nullopt: refused
  friend std::ostream& operator<<(std::ostream& os, const name_case& c) {
    return os << '"' << c.filename << "\" in \"" << c.folder << '"';
  }
};

class ZipEntryName : public ::testing::TestWithParam<name_case> {};

TEST_P(ZipEntryName, FromPathAndPrefix) {
  const name_case& c = GetParam();
  EXPECT_EQ(api32::ziplib::entry_name(c.filename, c.folder), c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ZipEntryName,
    ::testing::Values(
        // a drive is dropped, separators turned, the prefix put in front as given
        name_case{R"(C:\Games\Mods\readme.txt)", "", "Games/Mods/readme.txt"},
        name_case{R"(C:\data\readme.txt)", "pack/", "pack/data/readme.txt"},
        name_case{R"(c:/data/readme.txt)", "", "data/readme.txt"},
        name_case{R"(mods\a.ini)", "pack/", "pack/mods/a.ini"}, name_case{R"(sub\a.bin)", "mod/", "mod/sub/a.bin"},
        name_case{R"(sub\a.bin)", "mod", "modsub/a.bin"}, name_case{R"(a.txt)", R"(pre\)", R"(pre\a.txt)"},
        // a path that starts at a root keeps no leading separator
        name_case{R"(\\server\share\f.txt)", "", "server/share/f.txt"},
        name_case{"/home/user/f.txt", "", "home/user/f.txt"}, name_case{R"(\data\f.txt)", "", "data/f.txt"},
        // ":\" elsewhere than after a drive letter is left alone
        name_case{R"(ab:\f.txt)", "", "ab:/f.txt"},
        // dots inside names are fine
        name_case{"a..b.txt", "", "a..b.txt"}, name_case{R"(...\x)", "", ".../x"},
        name_case{R"(.hidden\f)", "", ".hidden/f"},
        // names that could climb out are refused
        name_case{R"(..\a.txt)", "", std::nullopt}, name_case{R"(C:\x\..\..\a.txt)", "", std::nullopt},
        name_case{R"(sub\.\a.txt)", "", std::nullopt}, name_case{R"(.\a.txt)", "", std::nullopt},
        name_case{"a.txt", "../", std::nullopt}, name_case{"a.txt", R"(..\)", std::nullopt},
        name_case{"a.txt", "x/../../", std::nullopt}, name_case{"a.txt", "/abs/", std::nullopt},
        name_case{"a.txt", R"(\abs\)", std::nullopt}, name_case{"/tmp/..", "", std::nullopt}));

TEST(ZipEntryNameFlag, Utf8FlagOnlyForValidNonAsciiNames) {
  using api32::ziplib::needs_utf8_flag;
  EXPECT_FALSE(needs_utf8_flag("plain/readme.txt"));
  EXPECT_TRUE(needs_utf8_flag("Grüße/ß.txt"));
  EXPECT_TRUE(needs_utf8_flag("日本.txt"));
  EXPECT_FALSE(needs_utf8_flag("caf\xE9.txt"));  // not UTF-8: written as it is, without the flag
}

TEST(ZipEntryZip64, WhenTheEntryMayReachFourGiB) {
  using api32::ziplib::needs_zip64;
  EXPECT_FALSE(needs_zip64(0));
  EXPECT_FALSE(needs_zip64(1u << 30));
  EXPECT_FALSE(needs_zip64(0xFFFFFFFFull - (16u << 20)));
  EXPECT_TRUE(needs_zip64(0xFFFFFFFFull - (1u << 20)));  // incompressible data could pass 4 GiB compressed
  EXPECT_TRUE(needs_zip64(0xFFFFFFFFull));
  EXPECT_TRUE(needs_zip64(5ull << 30));
}

TEST(ZipEntryDate, ClampedToTheMsDosRange) {
  using api32::ziplib::clamp_to_dos_range;
  auto make = [](int y, int mon, int d, int h, int mi, int s) {
    api32::tm_unz t;
    t.tm_year = static_cast<std::uint16_t>(y);
    t.tm_mon = static_cast<std::uint16_t>(mon);
    t.tm_mday = static_cast<std::uint16_t>(d);
    t.tm_hour = static_cast<std::uint16_t>(h);
    t.tm_min = static_cast<std::uint16_t>(mi);
    t.tm_sec = static_cast<std::uint16_t>(s);
    return t;
  };
  auto same = [](const api32::tm_unz& a, const api32::tm_unz& b) {
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday && a.tm_hour == b.tm_hour &&
           a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
  };
  EXPECT_TRUE(same(clamp_to_dos_range(make(2010, 4, 21, 14, 3, 7)), make(2010, 4, 21, 14, 3, 7)));
  EXPECT_TRUE(same(clamp_to_dos_range(make(1980, 0, 1, 0, 0, 0)), make(1980, 0, 1, 0, 0, 0)));
  EXPECT_TRUE(same(clamp_to_dos_range(make(1970, 0, 1, 0, 0, 0)), make(1980, 0, 1, 0, 0, 0)));
  EXPECT_TRUE(same(clamp_to_dos_range(make(1979, 11, 31, 23, 59, 59)), make(1980, 0, 1, 0, 0, 0)));
  EXPECT_TRUE(same(clamp_to_dos_range(make(0, 0, 0, 0, 0, 0)), make(1980, 0, 1, 0, 0, 0)));
  EXPECT_TRUE(same(clamp_to_dos_range(make(2107, 11, 31, 23, 59, 58)), make(2107, 11, 31, 23, 59, 58)));
  EXPECT_TRUE(same(clamp_to_dos_range(make(2200, 5, 5, 5, 5, 5)), make(2107, 11, 31, 23, 59, 58)));
}

}  // namespace
