// command_line_test.cpp - how the archiver splits and reads its command line.
#include <gtest/gtest.h>

#include "tools/rar/command_line.hpp"

namespace rartool {
namespace {

using args = std::vector<std::string>;

TEST(RarCommandLine, SplitsByItsOwnQuotingRules) {
  struct row {
    const char* text;
    args expected;
  };
  const row rows[] = {
      {R"(x -o+ "Z:\a b\c.rar" "data\a.txt" "E:\")", {"x", "-o+", R"(Z:\a b\c.rar)", R"(data\a.txt)", R"(E:\)"}},
      {R"(x -r -o+ "C:\in.rar" "*.*" "")", {"x", "-r", "-o+", R"(C:\in.rar)", "*.*", ""}},
      {R"(a -ap"mods\new\" "out.rar" "f.txt")", {"a", R"(-apmods\new\)", "out.rar", "f.txt"}},
      {R"("say ""hi""" x)", {R"(say "hi")", "x"}},
      {"a\"b c\"d \t e", {"ab cd", "e"}},
      {R"(x \"q\")", {R"(x)", R"(\q\)"}},
      {"", {}},
      {R"("unclosed text)", {"unclosed text"}},
  };
  for (const auto& r : rows) EXPECT_EQ(split_rar_arguments(r.text), r.expected) << r.text;
}

TEST(RarCommandLine, SkipsTheProgramNameAsWindowsDoes) {
  EXPECT_EQ(after_program_name(R"("C:\My App\lib\Rar.exe" x a.rar)"), " x a.rar");
  EXPECT_EQ(after_program_name(R"(C:\App\lib\Rar.exe x)"), " x");
  EXPECT_EQ(after_program_name(R"(C:\My" "App\rar.exe x)"), " x");
}

TEST(RarCommandLine, TakesTheRawLineOnlyWhenItDescribesThisProcess) {
  const std::string raw = R"(C:\App\lib\Rar.exe x -o+ -ri15 "Z:\t\a.rar" "data\a.txt" "E:\")";
  const args from_spawner{"rar.exe", "x", "-o+", "-ri15", R"(Z:\t\a.rar)", R"(data\a.txt)", R"(E:")"};
  EXPECT_EQ(effective_arguments(from_spawner, raw.c_str()),
            (args{"x", "-o+", "-ri15", R"(Z:\t\a.rar)", R"(data\a.txt)", R"(E:\)"}));
  // a variable inherited from some other process does not match this argv and is ignored
  const args other{"rar.exe", "x", "b.rar"};
  EXPECT_EQ(effective_arguments(other, raw.c_str()), (args{"x", "b.rar"}));
  EXPECT_EQ(effective_arguments(other, nullptr), (args{"x", "b.rar"}));
}

TEST(RarCommandLine, ReadsCommandsSwitchesAndPositions) {
  auto parsed = parse_options({"x", "-o+", "-ri15:20", R"(Z:\a.rar)", R"(data\a.txt)", R"(E:\)"});
  ASSERT_TRUE(std::holds_alternative<options>(parsed));
  const auto& x = std::get<options>(parsed);
  EXPECT_EQ(x.command, 'x');
  EXPECT_EQ(x.overwrite, overwrite_mode::always);
  EXPECT_EQ(x.priority, 15);
  EXPECT_EQ(x.sleep_ms, 20);
  EXPECT_EQ(x.archive, R"(Z:\a.rar)");
  EXPECT_EQ(x.masks, (args{R"(data\a.txt)"}));
  EXPECT_EQ(x.destination, std::optional<std::string>(R"(E:\)"));

  auto all = std::get<options>(parse_options({"X", "-R", "-o+", "in.rar", "*.*", ""}));
  EXPECT_TRUE(all.recurse);
  EXPECT_EQ(all.destination, std::optional<std::string>(""));
  EXPECT_EQ(all.masks, (args{"*.*"}));

  // no masks means every file; a last argument without a separator is a mask, not a folder
  auto bare = std::get<options>(parse_options({"x", "in.rar"}));
  EXPECT_EQ(bare.masks, (args{"*"}));
  EXPECT_FALSE(bare.destination);
  EXPECT_FALSE(std::get<options>(parse_options({"x", "in.rar", "out"})).destination);

  auto add = std::get<options>(parse_options({"a", R"(-apmods\new\)", "out.rar", "--", "-dash.txt"}));
  EXPECT_EQ(add.command, 'a');
  EXPECT_EQ(add.inner_path, R"(mods\new\)");
  EXPECT_EQ(add.masks, (args{"-dash.txt"}));
  EXPECT_FALSE(add.destination);  // "a" never takes a destination
}

TEST(RarCommandLine, RejectsWhatItDoesNotKnow) {
  const args bad[] = {
      {},
      {"-o+"},
      {"e", "a.rar"},
      {"x"},
      {"x", "-q", "a.rar"},
      {"x", "-ri16", "a.rar"},
      {"x", "-ri", "a.rar"},
      {"x", "-ri5:1001", "a.rar"},
      {"x", "-ri5:", "a.rar"},
      {"x", "-rix", "a.rar"},
      {"x", "-o", "a.rar"},
  };
  for (const auto& a : bad) {
    auto parsed = parse_options(a);
    EXPECT_TRUE(std::holds_alternative<usage_error>(parsed)) << (a.empty() ? "(none)" : a.back());
  }
}

}  // namespace
}  // namespace rartool
