// add_test.cpp - rar.exe a: archives read back by bsdtar and by x, updates, refusals, the front-end's lines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>

#include "rar_runner.hpp"
#include "support/test_support.hpp"
#include "tools/rar/rar5_scan.hpp"

namespace rartool {
namespace {

using api32::testing::exists;
using api32::testing::read_file;
using api32::testing::run;
using api32::testing::run_output;
using api32::testing::temp_dir;
using api32::testing::write_file;
using testing::file_bytes;
using testing::fixture;
using testing::run_rar;
using testing::tree;
using strings = std::vector<std::string>;

std::string all_byte_values() {
  std::string s;
  for (int round = 0; round < 300; ++round) {
    for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>((b * 7 + round) & 0xff));
  }
  return s;
}

void make_source_tree(const temp_dir& src) {
  for (const char* folder : {"nested", "nested/deeper", "nested/deeper/deepest", "empty folder", "Ünïcødé"})
    ASSERT_EQ(::mkdir((src / folder).c_str(), 0755), 0);
  write_file(src / "binary.bin", all_byte_values());
  write_file(src / "empty.txt", "");
  write_file(src / "nested/deeper/deepest/leaf.txt", "leaf\r\n");
  write_file(src / "Ünïcødé/表だよ 👋.txt", "non-ASCII names");
  write_file(src / "run.sh", "#!/bin/sh\n");
  ASSERT_EQ(::chmod((src / "run.sh").c_str(), 0755), 0);
  struct timeval times[2] = {{1500000000, 0}, {1500000000, 0}};
  ASSERT_EQ(::utimes((src / "binary.bin").c_str(), times), 0);
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

TEST(RarAdd, RoundTripsThroughBsdtarAndItsOwnReader) {
  temp_dir src, work;
  make_source_tree(src);
  const std::string archive = work / "out.rar";
  auto added = run_rar({"a", "-r", archive, "*.*"}, src.path());
  ASSERT_EQ(added.exit_code, 0) << added.errors;

  const std::string listing = run_output("bsdtar -tf " + quoted(archive) + " | sort");
  EXPECT_EQ(listing,
            "binary.bin\nempty folder\nempty.txt\nnested\nnested/deeper\nnested/deeper/deepest\n"
            "nested/deeper/deepest/leaf.txt\nrun.sh\nÜnïcødé\nÜnïcødé/表だよ 👋.txt\n");
  const std::string verbose = run_output("bsdtar -tvf " + quoted(archive));
  EXPECT_NE(verbose.find("-rwxr-xr-x"), std::string::npos) << verbose;

  temp_dir by_bsdtar, by_us;
  ASSERT_EQ(run("bsdtar -xf " + quoted(archive) + " -C " + quoted(by_bsdtar.path())), 0);
  auto extracted = run_rar({"x", "-o+", archive}, by_us.path());
  ASSERT_EQ(extracted.exit_code, 0) << extracted.errors;
  const strings expected = tree(src.path());
  for (const auto* out : {&by_bsdtar, &by_us}) {
    EXPECT_EQ(tree(out->path()), expected);
    for (const auto& p : expected) {
      if (p.back() == '/') continue;
      EXPECT_EQ(read_file(*out / p), read_file(src / p)) << p;
    }
    struct stat st;
    ASSERT_EQ(::stat((*out / "binary.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1500000000);
    ASSERT_EQ(::stat((*out / "run.sh").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
  }
}

TEST(RarAdd, MasksChooseFilesAndNames) {
  temp_dir src, work;
  make_source_tree(src);
  struct row {
    strings args;  // after the archive
    const char* expected;
  };
  const row rows[] = {
      {{"*.*"}, "binary.bin\nempty.txt\nrun.sh\n"},  // no -r: this folder's files only
      {{"nested"}, "nested\nnested/deeper\nnested/deeper/deepest\nnested/deeper/deepest/leaf.txt\n"},
      {{"nested\\deeper\\*.*", "-r"}, "nested/deeper/deepest\nnested/deeper/deepest/leaf.txt\n"},
      {{"-r", "leaf.txt"}, "nested/deeper/deepest/leaf.txt\n"},
      {{"-apmods\\new\\", "empty.txt"}, "mods/new/empty.txt\n"},
      {{"-r", "*.txt"}, "empty.txt\nnested/deeper/deepest/leaf.txt\nÜnïcødé/表だよ 👋.txt\n"},
  };
  int n = 0;
  for (const auto& r : rows) {
    const std::string archive = work / ("m" + std::to_string(n++) + ".rar");
    strings args{"a", archive};
    args.insert(args.end(), r.args.begin(), r.args.end());
    auto result = run_rar(args, src.path());
    EXPECT_EQ(result.exit_code, 0) << r.args.front() << ": " << result.errors;
    EXPECT_EQ(run_output("bsdtar -tf " + quoted(archive) + " | sort"), r.expected) << r.args.front();
  }
}

TEST(RarAdd, UpdatingReplacesSameNamesAndCopiesTheRestByteForByte) {
  temp_dir src, work;
  const std::string archive = work / "many.rar";
  ASSERT_EQ(run("cp " + quoted(fixture("test_read_format_rar5_stored_manyfiles.rar")) + " " + quoted(archive)), 0);
  const bytes before = file_bytes(archive);
  write_file(src / "CEBULA.TXT", "replaced");
  write_file(src / "new.txt", "added");
  auto result = run_rar({"a", archive, "*.*"}, src.path());
  ASSERT_EQ(result.exit_code, 0) << result.errors;

  EXPECT_EQ(run_output("bsdtar -tf " + quoted(archive)), "make_uue.tcl\ntest.bin\nCEBULA.TXT\nnew.txt\n");
  EXPECT_EQ(run_output("bsdtar -xOf " + quoted(archive) + " CEBULA.TXT"), "replaced");
  // the entries that stay are the very blocks the archiver wrote
  const bytes after = file_bytes(archive);
  auto old_scan = rar5::scan(memory_input(before));
  for (const auto& b : old_scan.blocks) {
    if (b.type != 2 || b.name == "cebula.txt") continue;
    const bytes block(before.begin() + static_cast<std::ptrdiff_t>(b.offset),
                      before.begin() + static_cast<std::ptrdiff_t>(b.end()));
    EXPECT_NE(std::search(after.begin(), after.end(), block.begin(), block.end()), after.end()) << b.name;
  }
  temp_dir out;
  EXPECT_EQ(run_rar({"x", archive}, out.path()).exit_code, 0);
  EXPECT_EQ(tree(out.path()), (strings{"CEBULA.TXT", "make_uue.tcl", "new.txt", "test.bin"}));
  EXPECT_EQ(tree(work.path()), strings{"many.rar"});
}

TEST(RarAdd, ArchivesItCannotCarryOverAreLeftUntouched) {
  temp_dir src, work;
  write_file(src / "x.txt", "x");
  const std::string stored = read_file(fixture("test_read_format_rar5_stored.rar"));
  std::string damaged = stored;
  damaged[damaged.find("hello libarchive")] = 'J';
  struct row {
    const char* name;
    std::string content;
  };
  const row rows[] = {
      {"rar4.rar", read_file(fixture("test_read_format_rar.rar"))},
      {"solid.rar", read_file(fixture("test_read_format_rar5_solid.rar"))},
      {"text.rar", "not an archive"},
      {"empty.rar", ""},
      {"truncated.rar", stored.substr(0, stored.size() - 12)},
      {"damaged.rar", damaged},
  };
  for (const auto& r : rows) {
    write_file(work / r.name, r.content);
    auto result = run_rar({"a", work / r.name, "x.txt"}, src.path());
    EXPECT_EQ(result.exit_code, 2) << r.name << ": " << result.errors;
    EXPECT_NE(result.errors.find("left unchanged"), std::string::npos) << result.errors;
    EXPECT_EQ(read_file(work / r.name), r.content) << r.name;
  }
  EXPECT_EQ(tree(work.path()).size(), std::size(rows));  // no temporary files left
}

TEST(RarAdd, NothingToAddOrNowhereToWrite) {
  temp_dir src, work;
  auto nothing = run_rar({"a", work / "none.rar", "*.*"}, src.path());
  EXPECT_EQ(nothing.exit_code, 10);
  EXPECT_FALSE(exists(work / "none.rar"));
  write_file(src / "a.txt", "a");
  auto nowhere = run_rar({"a", work / "missing/folder/x.rar", "a.txt"}, src.path());
  EXPECT_EQ(nowhere.exit_code, 9) << nowhere.errors;
  EXPECT_EQ(tree(work.path()), strings{});
  // a name without an extension gets ".rar"
  EXPECT_EQ(run_rar({"a", work / "plain", "a.txt"}, src.path()).exit_code, 0);
  EXPECT_TRUE(exists(work / "plain.rar"));
}

// argv as the process layer makes it from a line, with the raw line beside it.
std::vector<std::pair<std::string, std::string>> spawned(const std::string& line, strings& args) {
  args = testing::arguments_of(line);
  return {{"API32_CMDLINE", line}};
}

TEST(RarAdd, FrontEndLinesBuildTheirArchives) {
  temp_dir app, out;
  ASSERT_EQ(::mkdir((app / "build").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((app / "build/mod").c_str(), 0755), 0);
  write_file(app / "build/mod/a.txt", "staged");
  write_file(app / "build/top.txt", "top");

  // the staging folder added with its paths: rar.exe a -r "<archive>" "*.*" in build\ .
  const std::string archive = out.windows("pack.rar");
  strings args;
  auto env = spawned(app.windows("lib\\rar.exe") + " a -r \"" + archive + "\" \"*.*\"", args);
  auto all = run_rar(args, app / "build", env);
  ASSERT_EQ(all.exit_code, 0) << all.errors;
  EXPECT_EQ(run_output("bsdtar -tf " + quoted(out / "pack.rar") + " | sort"), "mod\nmod/a.txt\ntop.txt\n");

  // the add template with a folder inside the archive: -ap"mods\new\" keeps its trailing backslash
  env = spawned(app.windows("lib\\rar.exe") + " a -ap\"mods\\new\\\" \"" + archive + "\" \"top.txt\"", args);
  auto one = run_rar(args, app / "build", env);
  ASSERT_EQ(one.exit_code, 0) << one.errors;
  EXPECT_EQ(run_output("bsdtar -tf " + quoted(out / "pack.rar") + " | sort"),
            "mod\nmod/a.txt\nmods/new/top.txt\ntop.txt\n");
}

}  // namespace
}  // namespace rartool
