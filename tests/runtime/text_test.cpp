// Text functions count characters of UTF-8 text and keep invalid bytes as characters of their own.
#include <gtest/gtest.h>

#include "api32/runtime/text.hpp"

namespace t = api32::text;

TEST(Text, CountsCharactersNotBytes) {
  EXPECT_EQ(t::len("Grüße"), 5);
  EXPECT_EQ(t::len(""), 0);
  EXPECT_EQ(t::len("\xff\xfe" "a"), 3);  // invalid bytes count one each
  EXPECT_EQ(t::len("表だよ"), 3);
  EXPECT_EQ(t::len("👋🌎"), 2);
  EXPECT_EQ(t::len("\xe2\x82"), 2);  // a sequence cut off by the end
}

TEST(Text, PositionsAreCharacterPositions) {
  EXPECT_EQ(t::pos("Grüße.txt", ".txt"), 6);
  EXPECT_EQ(t::pos("abcabc", "bc", 3), 5);
  EXPECT_EQ(t::pos("abc", ""), 0);
  EXPECT_EQ(t::pos("", "a"), 0);
  EXPECT_EQ(t::pos("abc", "c", 10), 0);
  EXPECT_EQ(t::pos("abc", "a", -5), 1);
  // "\xa4" is the tail byte of "ä": a search for it must not report a match inside the character
  EXPECT_EQ(t::pos("ä\xa4", "\xa4"), 2);
}

TEST(Text, MidLeftRight) {
  EXPECT_EQ(t::mid("Grüße", 3, 2), "üß");
  EXPECT_EQ(t::mid("Grüße", 3), "üße");
  EXPECT_EQ(t::mid("Grüße", 9), "");
  EXPECT_EQ(t::mid("Grüße", 0, 2), "Gr");
  EXPECT_EQ(t::left("Grüße", 3), "Grü");
  EXPECT_EQ(t::left("ab", 10), "ab");
  EXPECT_EQ(t::left("ab", -1), "");
  EXPECT_EQ(t::right("Grüße", 2), "ße");
  EXPECT_EQ(t::right("ab", 5), "ab");
}

TEST(Text, CaseMappingKeepsLength) {
  EXPECT_EQ(t::upper("grüße.txt"), "GRÜßE.TXT");  // ß has no one-character upper case: kept
  EXPECT_EQ(t::lower("ÄÖÜ Setup.EXE"), "äöü setup.exe");
  EXPECT_EQ(t::upper("a\xff" "b"), "A\xff" "B");
  EXPECT_TRUE(t::iequals("Data/Readme.TXT", "data/readme.txt"));
  EXPECT_TRUE(t::iequals("ÜBER", "über"));
  EXPECT_FALSE(t::iequals("abc", "abd"));
  EXPECT_FALSE(t::iequals("abc", "abcd"));
}

TEST(Text, TrimReplaceFill) {
  EXPECT_EQ(t::trim("  a b  "), "a b");
  EXPECT_EQ(t::trim("\t a \r\n"), "\t a \r\n");
  EXPECT_EQ(t::trim("\t a \r\n", true), "a");
  EXPECT_EQ(t::lefttrim("  x "), "x ");
  EXPECT_EQ(t::righttrim("  x "), "  x");
  EXPECT_EQ(t::replace("Grüße", 3, 2, "XY"), "GrXYe");
  EXPECT_EQ(t::replace("abc", 4, 0, "d"), "abcd");
  EXPECT_EQ(t::fill("ab", 5), "ababa");
  EXPECT_EQ(t::fill("ü", 3), "üüü");
  EXPECT_EQ(t::fill("", 3), "");
  EXPECT_EQ(t::fill(" ", 0), "");
}

TEST(Text, ReplaceAllNeverSearchesInsertedText) {
  struct row {
    const char *text, *find, *with, *expected;
  } rows[] = {
      {"a/b/c", "/", "\\", "a\\b\\c"},
      {"aaa", "a", "aa", "aaaaaa"},
      {"ABC", "b", "x", "ABC"},
      {"setup", "setup", "xxxxx", "xxxxx"},
      {"abc", "", "x", "abc"},
      {"", "a", "b", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(t::replace_all(r.text, r.find, r.with), r.expected) << r.text;
}

TEST(Text, LongAndInvalidInputIsSafe) {
  std::string big(64 * 1024, 'x');
  big[1000] = '\xff';
  EXPECT_EQ(t::len(big), 64 * 1024);
  EXPECT_EQ(t::upper(big).size(), big.size());
  EXPECT_EQ(t::mid(big, 60000, 10).size(), 10u);
  EXPECT_EQ(t::make_valid_utf8("a\xff"), "a\xEF\xBF\xBD");
  EXPECT_FALSE(t::is_valid_utf8("\xc0\x80"));  // overlong NUL
  EXPECT_FALSE(t::is_valid_utf8("\xed\xa0\x80"));  // surrogate
}

TEST(Text, SingleByteCodePages) {
  EXPECT_EQ(t::to_cp1252("Grüße €"), "Gr\xfc\xdf" "e \x80");
  EXPECT_EQ(t::to_cp1252("表"), "?");
  EXPECT_EQ(t::from_cp1252("Gr\xfc\xdf" "e \x80"), "Grüße €");
  EXPECT_EQ(t::from_cp437("\x81" "ber\x84"), "überä");
  EXPECT_EQ(t::from_cp437("\xe1"), "ß");
}
