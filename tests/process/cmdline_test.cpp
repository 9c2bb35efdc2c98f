// Windows command lines split as the C runtime splits them, and build_command_line inverts the split.
#include <gtest/gtest.h>

#include <random>

#include "api32/win32/cmdline.hpp"

namespace {

using api32::win32::build_command_line;
using api32::win32::split_command_line;

struct split_case {
  const char* line;
  std::vector<std::string> arguments;
  friend std::ostream& operator<<(std::ostream& os, const split_case& c) { return os << "[" << c.line << "]"; }
};

const split_case split_cases[] = {
    // quotes
    {R"("C:\Program Files\x.exe" -a "b c")", {R"(C:\Program Files\x.exe)", "-a", "b c"}},
    {R"(prog "abc" d e)", {"prog", "abc", "d", "e"}},
    {R"(prog a"b c"d)", {"prog", "ab cd"}},
    {R"(prog "" x)", {"prog", "", "x"}},
    {R"(prog "open to the end)", {"prog", "open to the end"}},
    // backslashes before quotes
    {R"(prog a\\b d"e f"g h)", {"prog", R"(a\\b)", "de fg", "h"}},
    {R"(prog a\\\"b c d)", {"prog", R"(a\"b)", "c", "d"}},
    {R"(prog a\\\\"b c" d e)", {"prog", R"(a\\b c)", "d", "e"}},
    {R"(prog "C:\out dir\\" next)", {"prog", R"(C:\out dir\)", "next"}},
    {R"(prog \"quoted\")", {"prog", R"("quoted")"}},
    {R"(prog C:\a\b\ tail\)", {"prog", R"(C:\a\b\)", R"(tail\)"}},
    // doubled quotes inside quotes
    {R"(prog "a""b")", {"prog", R"(a"b)"}},
    {R"(prog a"b"" c d)", {"prog", R"(ab" c d)"}},
    {R"(prog """")", {"prog", R"(")"}},
    // the program name: quotes toggle, backslashes are plain
    {R"(C:\Pro"gram F"iles\x.exe y)", {R"(C:\Program Files\x.exe)", "y"}},
    {R"(C:\dir\\p.exe x)", {R"(C:\dir\\p.exe)", "x"}},
    {R"("C:\dir\" x)", {R"(C:\dir\)", "x"}},
    // unquoted path with blanks: split as it stands (the program sees the same)
    {R"(C:\Program Files\x.exe -a)", {R"(C:\Program)", R"(Files\x.exe)", "-a"}},
    // blanks and tabs
    {"prog\ta  b\t ", {"prog", "a", "b"}},
    {"", {}},
    {" prog a", {"", "prog", "a"}},
    // characters a shell would act on are plain
    {R"(prog ; $(rm -rf x) `id` | & > y 'q r')",
     {"prog", ";", "$(rm", "-rf", "x)", "`id`", "|", "&", ">", "y", "'q", "r'"}},
};

class SplitCommandLine : public ::testing::TestWithParam<split_case> {};

TEST_P(SplitCommandLine, GivesTheRuntimeArguments) {
  EXPECT_EQ(split_command_line(GetParam().line), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(Table, SplitCommandLine, ::testing::ValuesIn(split_cases));

TEST(BuildCommandLine, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(build_command_line({R"(C:\Program Files\x.exe)", "-a", "b c", "", R"(C:\dir\)", R"(a"b)"}),
            R"("C:\Program Files\x.exe" -a "b c" "" C:\dir\ "a\"b")");
  EXPECT_EQ(build_command_line({"p", R"(out dir\)", R"(x\"y)"}), R"(p "out dir\\" "x\\\"y")");
}

// Any arguments, however many quotes, blanks and backslashes they hold, come back from the split.
TEST(BuildCommandLine, SplitGivesTheArgumentsBack) {
  std::mt19937 random(20240607);
  const std::string alphabet = "a \t\"\\x;$";
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> arguments{round % 2 ? "prog" : R"(C:\Program Files\p.exe)"};
    int count = static_cast<int>(random() % 5);
    for (int k = 0; k < count; ++k) {
      std::string argument;
      int length = static_cast<int>(random() % 7);
      for (int i = 0; i < length; ++i) argument += alphabet[random() % alphabet.size()];
      arguments.push_back(argument);
    }
    std::string line = build_command_line(arguments);
    ASSERT_EQ(split_command_line(line), arguments) << "line [" << line << "]";
  }
}

}  // namespace
