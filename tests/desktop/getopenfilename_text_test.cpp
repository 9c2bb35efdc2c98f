// The open-file class's helpers: character arrays built and split byte by byte, the comma list, lastpos.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api32/desktop/uo_nv_getopenfilename.hpp"

using namespace std::string_literals;

namespace {

std::vector<char> chars(const std::string& bytes) { return std::vector<char>(bytes.begin(), bytes.end()); }
std::string bytes(const std::vector<char>& array) { return std::string(array.begin(), array.end()); }

}  // namespace

TEST(OfCharString, AppendsWithOneNulBetweenAndTwoAtTheEnd) {
  api32::uo_nv_getopenfilename o;
  std::vector<char> array;
  EXPECT_EQ(o.of_char_string("a", array), 3);
  EXPECT_EQ(o.of_char_string("bc", array), 6);
  EXPECT_EQ(bytes(array), "a\0bc\0\0"s);

  struct row {
    const char* what;
    std::string start, text, after;
  };
  const row rows[] = {
      {"empty title on a fresh array", "", "", "\0\0"s},
      {"non-ASCII text counts bytes", "",
       "\xC3\x9C"
       "ber",
       "\xC3\x9C"
       "ber\0\0"s},
      {"the first byte overwrites the last element", "xy", "z", "xz\0\0"s},
      // an empty text writes its NULs at positions 1 and 2, whatever was there
      {"empty text after others", "ab\0cd\0\0"s, "", "\0\0\0cd\0\0"s},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    std::vector<char> a = chars(r.start);
    EXPECT_EQ(o.of_char_string(r.text, a), static_cast<std::int32_t>(r.after.size()));
    EXPECT_EQ(bytes(a), r.after);
  }
}

TEST(OfParseCsv, SplitsOnCommas) {
  struct row {
    const char* list;
    std::vector<std::string> elements;
  };
  const row rows[] = {
      {"Add-ons,*.zip", {"Add-ons", "*.zip"}},
      {"Add-ons,*.zip,", {"Add-ons", "*.zip"}},  // no empty third element
      {"  Add-ons,*.zip;*.rar,All files,*.*  ", {"Add-ons", "*.zip;*.rar", "All files", "*.*"}},
      {" Add-ons , *.zip ", {"Add-ons ", " *.zip"}},  // blanks inside survive
      {",Add-ons,*.zip", {}},                         // a leading comma ends the walk at once
      {"", {}},
      {"   ", {}},
      {"a,,b", {"a", "", "b"}},
      {"a,b,,", {"a", "b", ""}},
      {"Ä,ö", {"Ä", "ö"}},
  };
  api32::uo_nv_getopenfilename o;
  for (const row& r : rows) {
    SCOPED_TRACE(r.list);
    std::vector<std::string> out = {"left over"};
    o.of_parse_csv(r.list, out);
    EXPECT_EQ(out, r.elements);
  }
}

TEST(OfStringChar, SplitsAtNulsAndStopsAtTwo) {
  struct row {
    const char* what;
    std::string array;
    std::vector<std::string> texts;
  };
  const row rows[] = {
      {"folder and names", "Z:\\d\0a.zip\0b.zip\0\0"s, {"Z:\\d", "a.zip", "b.zip"}},
      {"one path", "Z:\\d\\a.zip\0\0"s, {"Z:\\d\\a.zip"}},
      {"one NUL at the very end", "abc\0"s, {"abc"}},  // past the end counts as NUL
      {"no NUL at all", "abc", {"abc"}},
      {"what follows two NULs is not read", "a\0\0junk\0\0"s, {"a"}},
      {"a leading NUL starts with an empty text", "\0x\0\0"s, {"", "x"}},
      {"only NULs", "\0\0\0"s, {}},
      {"empty", "", {}},
      {"UTF-8 bytes come back as text",
       "\xC3\x9C"
       "ber\0\xE2\x80\x93\0\0"s,
       {"Über", "–"}},
      {"the blanks of the receiving array after two NULs", "x\0\0   "s, {"x"}},
  };
  api32::uo_nv_getopenfilename o;
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    std::vector<std::string> out = {"left over"};
    EXPECT_EQ(o.of_string_char(chars(r.array), out), static_cast<std::int32_t>(r.texts.size()));
    EXPECT_EQ(out, r.texts);
  }
}

TEST(Lastpos, CountsCharacters) {
  struct row {
    const char* text;
    const char* find;
    std::int32_t pos;
  };
  const row rows[] = {
      {"C:\\dir\\x.zip", "\\", 7}, {"abcabc", "bc", 5}, {"abcabc", "x", 0}, {"", "\\", 0},
      {"Ü\\ß", "\\", 2},           {"abc", "", 3},      {"bc", "abc", 0},   {"\\", "\\", 1},
  };
  api32::uo_nv_getopenfilename o;
  for (const row& r : rows) {
    SCOPED_TRACE(std::string(r.text) + " / " + r.find);
    EXPECT_EQ(o.lastpos(r.text, r.find), r.pos);
  }
}
