// Windows-path mapping: drives, roots, relative paths, "..", case-insensitive lookup, UNC.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "api32/win32/last_error.hpp"
#include "api32/win32/paths.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using api32::testing::temp_dir;

namespace {

// Runs the body with the current folder set to `dir`, restoring the old one afterwards.
struct cwd_guard {
  std::string old;
  explicit cwd_guard(const std::string& dir) : old(std::filesystem::current_path()) { std::filesystem::current_path(dir); }
  ~cwd_guard() { std::filesystem::current_path(old); }
};

struct drive_guard {
  char letter;
  std::optional<std::string> old;
  drive_guard(char l, std::string root) : letter(l), old(w::drive_root(l)) { w::set_drive(l, std::move(root)); }
  ~drive_guard() { w::set_drive(letter, old.value_or("")); }
};

}  // namespace

class PathMapping : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directories(dir / "Games/Mods");
    api32::testing::write_file(dir / "Games/Mods/ReadMe.TXT", "x");
  }
  temp_dir dir;
};

TEST_F(PathMapping, DrivesRootsAndRelativePaths) {
  drive_guard e('E', dir.path());
  cwd_guard cwd(dir / "Games");
  struct row {
    std::string windows, native;
  } rows[] = {
      // drives
      {"E:\\Games\\Mods\\ReadMe.TXT", dir / "Games/Mods/ReadMe.TXT"},
      {"e:/games/mods/readme.txt", dir / "Games/Mods/ReadMe.TXT"},  // either separator, any case
      {"E:\\", dir.path() + "/"},
      {"E:", dir / "Games"},  // a bare drive is its current folder, ours here
      {"Z:\\usr\\bin", "/usr/bin"},
      {"z:\\USR\\BIN\\", "/usr/bin/"},
      // leading backslash: the root of the current folder's drive (E: here)
      {"\\Games\\mods", dir / "Games/Mods"},
      // relative to the current folder; "." and ".." parts; ".." clamped at the root
      {"Mods\\new.txt", dir / "Games/Mods/new.txt"},
      {".\\MODS\\.\\readme.txt", dir / "Games/Mods/ReadMe.TXT"},
      {"..\\Games", dir / "Games"},
      {"E:\\..\\..\\Games", dir / "Games"},
      {"E:\\Games\\..\\..\\x", dir / "x"},
      // new components are kept as written
      {"E:\\Games\\NewFolder\\File.Txt", dir / "Games/NewFolder/File.Txt"},
      // native absolute paths are accepted as they are
      {dir / "Games/Mods", dir / "Games/Mods"},
  };
  for (const auto& r : rows) EXPECT_EQ(w::to_native_path(r.windows).value_or("<none>"), r.native) << r.windows;
}

TEST_F(PathMapping, RefusedPathsSetTheLastError) {
  struct row {
    std::string path;
    w::DWORD error;
  } rows[] = {{"", w::ERROR_PATH_NOT_FOUND},
              {"\\\\?\\", w::ERROR_PATH_NOT_FOUND},  // the long-path prefix alone once read past the end
              {"\\\\server\\share\\a.txt", w::ERROR_BAD_NETPATH},
              {"//server/share", w::ERROR_BAD_NETPATH},
              {"\\\\.\\PhysicalDrive0", w::ERROR_BAD_NETPATH},
              {"Q:\\x", w::ERROR_PATH_NOT_FOUND},
              {std::string("a\0b", 3), w::ERROR_INVALID_NAME}};
  w::set_drive('Q', "");
  for (const auto& r : rows) {
    w::SetLastError(0xdeadbeef);
    EXPECT_FALSE(w::to_native_path(r.path)) << r.path;
    EXPECT_EQ(w::GetLastError(), r.error) << r.path;
  }
  EXPECT_EQ(w::to_native_path("\\\\?\\Z:\\usr"), "/usr");  // the long-path prefix is understood
}

TEST_F(PathMapping, WindowsFormOfNativePaths) {
  EXPECT_EQ(w::to_windows_path("/usr/bin/env"), "Z:\\usr\\bin\\env");
  EXPECT_EQ(w::to_windows_path("/"), "Z:\\");
  EXPECT_EQ(w::to_windows_path("rel/a.txt"), "rel\\a.txt");
  drive_guard e('E', dir.path() + "/");
  EXPECT_EQ(w::to_windows_path(dir / "Games/x.txt"), "E:\\Games\\x.txt");
  EXPECT_EQ(w::to_windows_path(dir.path()), "E:\\");
  EXPECT_EQ(w::to_windows_path(dir.path() + "x"), "Z:" + w::to_windows_path(dir.path() + "x").substr(2));
  // round trip
  EXPECT_EQ(w::to_native_path(w::to_windows_path(dir / "Games/Mods")), dir / "Games/Mods");
  EXPECT_FALSE(w::set_drive('1', "/"));
}

TEST(Wildcards, MatchAsWindowsDoes) {
  struct row {
    const char *pattern, *name;
    bool match;
  } rows[] = {{"*.*", "readme", true},     {"*.*", "a.b.c", true},       {"*.txt", "README.TXT", true},
              {"*.txt", "a.txt.bak", false}, {"read?e.*", "readme.txt", true}, {"read?e.*", "readme", true},
              {"?", "ä", true},            {"?", "ab", false},           {"a*b*c", "aXXbYYc", true},
              {"a*b*c", "aXXbYY", false},  {"Über*", "über.txt", true},  {"", "a", false}};
  for (const auto& r : rows) EXPECT_EQ(w::wildcard_match(r.pattern, r.name), r.match) << r.pattern << " " << r.name;
}

TEST_F(PathMapping, NativeFolderWithAWindowsTail) {
  // a host's native folder joined to an entry's Windows path
  EXPECT_EQ(w::to_native_path(dir.path() + "/games\\MODS\\readme.txt"), dir / "Games/Mods/ReadMe.TXT");
  EXPECT_EQ(w::to_native_path(dir.path() + "/Games\\New\\x.txt"), dir / "Games/New/x.txt");
}

TEST_F(PathMapping, DrivesAreHandedToChildProgramsThroughTheEnvironment) {
  {
    drive_guard e('e', dir.path());
    const char* exported = std::getenv("API32_DRIVE_E");
    ASSERT_NE(exported, nullptr);
    EXPECT_EQ(std::string(exported), dir.path());
    EXPECT_EQ(api32::testing::run_output("printenv API32_DRIVE_E"), dir.path() + "\n");
  }
  EXPECT_EQ(std::getenv("API32_DRIVE_E"), nullptr);  // removed with the mapping
}
