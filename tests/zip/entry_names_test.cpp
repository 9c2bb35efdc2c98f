// Entry names: the UTF-8 flag, UTF-8 without the flag, code page 437, NUL bytes, the 256-byte name buffer.
#include <gtest/gtest.h>

#include "api32/zip/ziplib_entry_names.hpp"
#include "zip_fixtures.hpp"

using ziptest::open_archive;

namespace {

class ZipEntryNames : public ziptest::zip_test {};

struct name_case {
  const char* archive;
  std::string name;     // as listed and as found
  std::string sought;   // another spelling that finds it
  std::string content;  // what extracting it by name gives
};

std::ostream& operator<<(std::ostream& os, const name_case& c) { return os << c.archive; }

}  // namespace

TEST_F(ZipEntryNames, NamesAreDecodedListedAndFoundWithoutRegardToCase) {
  const name_case cases[] = {
      {"utf8-flag.zip", "Grüße/naïve €.txt", "GRÜßE/NAÏVE €.TXT", "flagged\n"},
      {"utf8-noflag.zip", "Grüße/naïve.txt", "grüße/NAÏVE.TXT", "unflagged\n"},
      {"cp437.zip", "café/müsli.txt", "CAFÉ/MÜSLI.TXT", "legacy\n"},
      {"infozip-names.zip", "Grüße.txt", "GRÜßE.TXT", "umlauts\n"},
      {"utf8-flag-invalid.zip", "bad\xEF\xBF\xBDname.txt", "BAD\xEF\xBF\xBDNAME.TXT", "x"},  // U+FFFD
      {"nul-in-name.zip", "cut.txt", "CUT.TXT", "nul\n"},  // read as a C string: up to the NUL
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c);
    std::string row = zl.of_dwdirectory(ziptest::archive(c.archive));
    EXPECT_EQ(row.substr(row.rfind('\t') + 1), c.name);
    open_archive a(zl, c.archive);
    EXPECT_EQ(zl.of_unzlocatefile(a, c.name), 0);
    api32::blob data;
    EXPECT_TRUE(zl.of_extractblob(a, c.sought, data));
    EXPECT_EQ(std::string(data.begin(), data.end()), c.content);
  }
}

TEST_F(ZipEntryNames, LongNamesAreCutToTheNameBuffer) {
  std::string row = zl.of_dwdirectory(ziptest::archive("long-name.zip"));
  std::string full = row.substr(row.rfind('\t') + 1);
  EXPECT_EQ(full, "d/" + std::string(254, 'n'));
}

TEST_F(ZipEntryNames, TruncationNeverSplitsACharacter) {
  namespace zn = api32::zipnames;
  EXPECT_EQ(zn::truncate_utf8("abc", 3), "abc");
  EXPECT_EQ(zn::truncate_utf8("abc", 2), "ab");
  EXPECT_EQ(zn::truncate_utf8("aé", 2), "a");   // é is two bytes
  EXPECT_EQ(zn::truncate_utf8("a€b", 3), "a");  // € is three
  EXPECT_EQ(zn::truncate_utf8("a€b", 4), "a€");
}
