// The reference host's services.
#include <gtest/gtest.h>

#include <filesystem>

#include "api32/host/host_services.hpp"
#include "support/test_support.hpp"

using api32::testing::temp_dir;

TEST(HostServices, GlobalReplace) {
  api32::host::uo_nv_core core;
  EXPECT_EQ(core.of_globalreplace("a/b/c", "/", "\\"), "a\\b\\c");
  EXPECT_EQ(core.of_globalreplace("mysetup.exe", "setup", "xxxxx"), "myxxxxx.exe");
  EXPECT_EQ(core.of_globalreplace("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(core.of_globalreplace("abc", "", "x"), "abc");
  std::string big(64 * 1024, '/');
  EXPECT_EQ(core.of_globalreplace(big, "/", "\\"), std::string(64 * 1024, '\\'));
}

TEST(HostServices, CreatePathMakesEveryMissingLevel) {
  temp_dir dir;
  api32::host::uo_nv_core core;
  EXPECT_EQ(core.of_createpath(dir.windows() + "\\build\\", "mod\\sub\\deep\\"), 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "build/mod/sub/deep"));
  EXPECT_EQ(core.of_createpath(dir.windows() + "\\build\\", ""), 1);  // already there
  api32::testing::write_file(dir / "file", "x");
  EXPECT_EQ(core.of_createpath(dir.windows() + "\\file\\", "x"), -1);  // a file blocks the way
}

TEST(HostServices, DirectoryAddFillsBothBoxes) {
  temp_dir dir;
  std::filesystem::create_directories(dir / "a/b");
  api32::testing::write_file(dir / "x.txt", "");
  api32::testing::write_file(dir / "a/y.ZIP", "");
  api32::testing::write_file(dir / "a/b/z.zip", "");
  api32::host::uo_nv_core core;
  api32::host::listbox files, folders;
  EXPECT_EQ(core.of_directoryadd(dir.windows() + "\\", "", files, folders, "*.*", true), 3);
  EXPECT_EQ(files.items(), (std::vector<std::string>{"a\\b\\z.zip", "a\\y.ZIP", "x.txt"}));
  EXPECT_EQ(folders.items(), (std::vector<std::string>{"a\\", "a\\b\\"}));
  EXPECT_EQ(core.of_directoryadd(dir.windows(), "", files, folders, "*.zip", false), 0);
  EXPECT_EQ(core.of_directoryadd(dir.windows(), "p\\", files, folders, "*.zip", true), 2);
  EXPECT_EQ(files.items(), (std::vector<std::string>{"p\\a\\b\\z.zip", "p\\a\\y.ZIP"}));
  EXPECT_EQ(core.of_directoryadd(dir.windows("missing"), "", files, folders, "*.*", true), -1);
  EXPECT_EQ(files.totalitems(), 0);
}

TEST(HostServices, GlobalsDefaults) {
  auto& g = api32::host::globals();
  ASSERT_FALSE(g.app_path.empty());
  EXPECT_EQ(g.app_path.back(), '\\');
  EXPECT_EQ(g.app_path.substr(1, 2), ":\\");
  EXPECT_EQ(g.tr2("Add-ons"), "Add-ons");
  api32::host::set_translation_table({{"Add-ons", "Erweiterungen"}});
  EXPECT_EQ(g.tr2("Add-ons"), "Erweiterungen");
  EXPECT_EQ(g.tr2(""), "");
  g.tr2 = [](const std::string& s) { return s; };
}
