// The archive front-end over ZIP (the host's zip library) and RAR (the archiver in app_path\lib\).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "api32/compression/uo_nv_compression.hpp"
#include "api32/host/host_services.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "support/test_support.hpp"

namespace fs = std::filesystem;
using api32::uo_nv_compression;
using api32::testing::exists;
using api32::testing::read_file;
using api32::testing::run;
using api32::testing::temp_dir;
using api32::testing::write_file;

namespace {

// Remembers what the front-end asked of the host's core object, and does it.
struct recording_core : api32::host::uo_nv_core {
  std::vector<std::string> calls;
  std::int16_t of_createpath(std::string base, std::string sub) override {
    calls.push_back("createpath " + base + "|" + sub);
    return uo_nv_core::of_createpath(base, sub);
  }
  std::int16_t of_directoryadd(std::string path, std::string prefix, api32::host::listbox& files,
                               api32::host::listbox& dirs, std::string mask, bool recursive) override {
    calls.push_back("directoryadd " + path + "|" + prefix + "|" + mask + "|" + (recursive ? "true" : "false"));
    return uo_nv_core::of_directoryadd(path, prefix, files, dirs, mask, recursive);
  }
};

class Compression : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(app / "lib");
    fs::copy_file(api32::testing::build_dir() + "/lib/rar.exe", app / "lib/rar.exe");
    fs::create_directories(drive.path());
    api32::win32::set_drive('E', drive.path());
    auto& host = api32::host::globals();
    saved_app_path = host.app_path;
    saved_core = host.gnv_core;
    saved_zip = host.gziplib;
    host.app_path = app.windows() + "\\";
    host.gnv_core = core;
    host.gziplib = std::make_shared<api32::uo_nv_ziplib>();
  }
  void TearDown() override {
    auto& host = api32::host::globals();
    host.app_path = saved_app_path;
    host.gnv_core = saved_core;
    host.gziplib = saved_zip;
    api32::win32::set_drive('E', "");
  }
  // A RAR archive written by the archiver from files below a folder: {name, content}.
  std::string make_rar(const std::string& name, const std::vector<std::pair<std::string, std::string>>& entries) {
    temp_dir source;
    for (const auto& [path, content] : entries) {
      fs::create_directories(fs::path(source / path).parent_path());
      write_file(source / path, content);
    }
    std::string archive = drive / name;
    EXPECT_EQ(
        run("cd '" + source.path() + "' && '" + (app / "lib/rar.exe") + "' a -r '" + archive + "' '*.*' >/dev/null"),
        0);
    return "E:\\" + name;
  }

  temp_dir app;
  temp_dir drive;
  std::shared_ptr<recording_core> core = std::make_shared<recording_core>();
  api32::testing::recorded_boxes boxes;
  std::string saved_app_path;
  std::shared_ptr<api32::host::uo_nv_core> saved_core;
  std::shared_ptr<api32::uo_nv_ziplib> saved_zip;
};

}  // namespace

TEST_F(Compression, FormatIsChosenByTheLastFourCharacters) {
  uo_nv_compression front;
  std::uint32_t zip = front.of_zipopen("E:\\x.ZIP");
  EXPECT_NE(zip, 0u);
  EXPECT_NE(zip, uo_nv_compression::rar_id);
  EXPECT_EQ(front.compression_format, uo_nv_compression::format_zip);
  EXPECT_EQ(front.of_zipclose(zip, ""), 0);
  EXPECT_TRUE(exists(drive / "x.ZIP"));

  EXPECT_EQ(front.of_zipopen("E:\\x.rar"), uo_nv_compression::rar_id);
  EXPECT_EQ(front.compression_format, uo_nv_compression::format_rar);
  EXPECT_EQ(front.is_archive, "E:\\x.rar");
  EXPECT_EQ(front.of_unzclose(12345), 1);  // RAR: nothing to close, whatever the handle

  uo_nv_compression fresh;  // another ending leaves a new object on ZIP
  EXPECT_EQ(fresh.of_unzopen("E:\\missing.7z"), 0u);
  EXPECT_EQ(fresh.compression_format, uo_nv_compression::format_zip);
  ASSERT_EQ(boxes.boxes().size(), 1u);  // the zip library's own message for the missing archive
  EXPECT_EQ(boxes.boxes()[0].title, "Ziplib Error in of_unzopen");
  // the RAR branches ask the host to list the staging folder, as the host's window expects
  ASSERT_FALSE(core->calls.empty());
  EXPECT_EQ(core->calls.back(), "directoryadd " + app.windows() + "\\build\\||*.*|true");
}

TEST_F(Compression, RarArchiveIsStagedAndBuiltByTheArchiver) {
  temp_dir src;
  fs::create_directories(src / "sub");
  write_file(src / "sub/a.txt", "alpha");
  write_file(src / "top.bin", std::string("\0\1\2", 3));
  uo_nv_compression front;
  EXPECT_EQ(front.of_zipopen("E:\\pack.rar"), uo_nv_compression::rar_id);
  EXPECT_EQ(front.of_importfile(0, "sub\\a.txt", "mod\\", src.windows() + "\\"), 1);
  EXPECT_EQ(front.of_importfile(0, "top.bin", "", src.windows() + "\\"), 1);
  EXPECT_EQ(front.of_importfile(0, "missing.txt", "mod\\", src.windows() + "\\"), 1);  // 1 whatever happened
  EXPECT_EQ(core->calls[1], "createpath " + app.windows() + "\\build\\|mod\\");
  EXPECT_EQ(read_file(app / "build/mod/sub/a.txt"), "alpha");
  EXPECT_EQ(front.of_zipclose(0, "ignored"), 1);
  ASSERT_TRUE(exists(drive / "pack.rar"));
  std::string listing = api32::testing::run_output("bsdtar -tf '" + (drive / "pack.rar") + "' | sort");
  EXPECT_EQ(listing, "mod\nmod/sub\nmod/sub/a.txt\ntop.bin\n");  // folders, then the files
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Compression, ExtractFileWorkedCases) {
  std::string archive = make_rar("w.rar", {{"a.txt", "A"}, {"data/a.txt", "DA"}});
  fs::create_directories(drive / "Game/data");
  fs::create_directories(drive / "x");
  uo_nv_compression front;
  front.of_unzopen(archive);
  struct row {
    std::string entry, target, directory;
    std::string written;  // where the entry must end up (relative to E:)
    std::string content;
    std::vector<std::string> gone;  // copies that must not stay behind
  } rows[] = {
      // an empty target: extracted below the folder, with its path
      {"data\\a.txt", "", "E:\\out\\", "out/data/a.txt", "DA", {}},
      // the entry's name is in the target: extracted there, copied to the target, the copy removed
      {"a.txt", "E:\\b.txt", "E:\\", "b.txt", "A", {"a.txt"}},
      // not in the target: extracted below the folder, then copied and removed
      {"data\\a.txt", "E:\\x\\b.txt", "E:\\stage\\", "x/b.txt", "DA", {"stage/data/a.txt"}},
      // target equals where the archiver writes: nothing copied
      {"data\\a.txt", "E:\\Game\\data\\a.txt", "E:\\ignored\\", "Game/data/a.txt", "DA", {"ignored"}},
  };
  for (const auto& r : rows) {
    EXPECT_TRUE(front.of_extractfile(uo_nv_compression::rar_id, r.entry, r.target, r.directory)) << r.target;
    EXPECT_EQ(read_file(drive / r.written), r.content) << r.target;
    for (const auto& g : r.gone) EXPECT_FALSE(exists(drive / g)) << g;
  }
  EXPECT_FALSE(front.of_extractfile(uo_nv_compression::rar_id, "nope.txt", "E:\\nope.txt", "E:\\"));
  EXPECT_FALSE(front.of_extractfile(uo_nv_compression::rar_id, "a.txt", "", std::nullopt));  // null folder = ""
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Compression, LocateExtractsIntoTheScratchFolder) {
  std::string archive = make_rar("l.rar", {{"docs/readme.txt", "hi"}});
  uo_nv_compression front;
  front.of_unzopen(archive);
  EXPECT_EQ(front.of_unzlocatefile(uo_nv_compression::rar_id, "docs\\readme.txt"), 0);
  EXPECT_EQ(read_file(app / "tmps/docs/readme.txt"), "hi");  // the copy stays
  EXPECT_EQ(front.of_unzlocatefile(uo_nv_compression::rar_id, "docs\\missing.txt"), 1);
}

// The front-end's own steps around the archiver (clearing the scratch copy, copying the extracted file to its
// target) go by descriptors too: links planted in the scratch folder or on the target's path are neither
// followed to delete or read a file outside, nor written through.
TEST_F(Compression, LinksPlantedAroundTheArchiverAreNotFollowed) {
  std::string archive = make_rar("p.rar", {{"docs/readme.txt", "from the archive"}, {"data/a.txt", "DA"}});
  fs::create_directories(drive / "outside");
  write_file(drive / "outside/readme.txt", "keep");
  write_file(drive / "outside/a.txt", "keep too");
  fs::create_directories(app / "tmps");
  fs::create_directory_symlink(drive / "outside", app / "tmps/docs");
  fs::create_directories(drive / "y");
  fs::create_directory_symlink(drive / "outside", drive / "y/Data");
  uo_nv_compression front;
  front.of_unzopen(archive);
  EXPECT_EQ(front.of_unzlocatefile(uo_nv_compression::rar_id, "docs\\readme.txt"), 1);
  EXPECT_FALSE(front.of_extractfile(uo_nv_compression::rar_id, "data\\a.txt", "E:\\y\\data\\a.txt", "E:\\stage\\"));
  EXPECT_EQ(api32::testing::tree(drive / "outside"), (std::vector<std::string>{"a.txt", "readme.txt"}));
  EXPECT_EQ(read_file(drive / "outside/readme.txt"), "keep");
  EXPECT_EQ(read_file(drive / "outside/a.txt"), "keep too");
  EXPECT_EQ(api32::testing::tree(drive / "y"), std::vector<std::string>{"Data -> " + (drive / "outside")});
  // a target apart from where the archiver writes: the entry comes from the call's own scratch folder, so a
  // link planted in the folder named for it is neither followed nor read
  fs::create_directories(drive / "stage");
  fs::create_directory_symlink(drive / "outside", drive / "stage/data");
  EXPECT_TRUE(front.of_extractfile(uo_nv_compression::rar_id, "data\\a.txt", "E:\\z\\b.txt", "E:\\stage\\"));
  EXPECT_EQ(read_file(drive / "z/b.txt"), "DA");
  EXPECT_EQ(read_file(drive / "outside/a.txt"), "keep too");
}

TEST_F(Compression, RarDirectoryExtractsEverythingAndListsNothing) {
  std::string archive = make_rar("d.rar", {{"a.txt", "1"}, {"deep/er/b.txt", "2"}});
  uo_nv_compression front;
  front.of_unzopen(archive);
  api32::datastore rows(api32::d_zipfiles());
  fs::create_directories(drive / "base");
  EXPECT_EQ(front.of_cudwdirectory("ignored.rar", rows, "E:\\base\\", false), "");
  EXPECT_EQ(rows.rowcount(), 0);
  EXPECT_EQ(read_file(drive / "base/a.txt"), "1");
  EXPECT_EQ(read_file(drive / "base/deep/er/b.txt"), "2");
  EXPECT_EQ(core->calls.back(), "directoryadd E:\\base\\||*.*|true");
}

TEST_F(Compression, ZipCallsGoToTheHostsZipLibrary) {
  ASSERT_EQ(run("cd '" + drive.path() + "' && mkdir -p d && echo hi > d/a.txt && zip -q -r z.zip d"), 0);
  uo_nv_compression front;
  std::uint32_t h = front.of_unzopen("E:\\z.zip");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(front.of_unzlocatefile(h, "D/A.TXT"), 0);
  EXPECT_TRUE(front.of_extractfile(h, "d/a.txt", "E:\\out\\a.txt", "E:\\out\\"));
  EXPECT_EQ(read_file(drive / "out/a.txt"), "hi\n");
  EXPECT_EQ(front.of_unzclose(h), 0);
  api32::datastore rows(api32::d_zipfiles());
  std::string listing = front.of_cudwdirectory("E:\\z.zip", rows, "E:\\all\\", true);
  EXPECT_EQ(listing.substr(0, 5), "a.txt");
  EXPECT_EQ(rows.rowcount(), 1);
  EXPECT_TRUE(exists(drive / "all/d/a.txt"));
  // a host without a zip library object gets failure values, not a crash
  api32::host::globals().gziplib.reset();
  uo_nv_compression orphan;
  EXPECT_EQ(orphan.of_unzopen("E:\\z.zip"), 0u);
  EXPECT_FALSE(orphan.of_extractfile(1, "d/a.txt", "E:\\o.txt", "E:\\"));
}

TEST_F(Compression, ExtractingOneEntryTouchesNothingButItsTarget) {
  // the archiver used to write below the caller's folder, over the user's own file of the entry's name, and
  // the copy step then moved that file away
  std::string archive = make_rar("m.rar", {{"Mod/a.txt", "archived"}});
  fs::create_directories(drive / "Mod");
  write_file(drive / "Mod/a.txt", "MINE");
  uo_nv_compression front;
  front.of_unzopen(archive);
  EXPECT_TRUE(front.of_extractfile(uo_nv_compression::rar_id, "Mod\\a.txt", "E:\\copy.txt", "E:\\"));
  EXPECT_EQ(read_file(drive / "copy.txt"), "archived");
  EXPECT_EQ(read_file(drive / "Mod/a.txt"), "MINE");
  // a target that already holds another file of the name is replaced, and only it
  write_file(drive / "copy.txt", "old");
  EXPECT_TRUE(front.of_extractfile(uo_nv_compression::rar_id, "Mod\\a.txt", "E:\\copy.txt", "E:\\"));
  EXPECT_EQ(read_file(drive / "copy.txt"), "archived");
  // a missing entry is a failure even where a file of the target's name is already there
  EXPECT_FALSE(front.of_extractfile(uo_nv_compression::rar_id, "Mod\\none.txt", "E:\\copy.txt", "E:\\"));
  // the call's scratch folders are gone, the located copy stays where callers look for it
  EXPECT_EQ(front.of_unzlocatefile(uo_nv_compression::rar_id, "Mod\\a.txt"), 0);
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(app / "tmps"))
    left.push_back(e.path().lexically_relative(app / "tmps").string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Mod", "Mod/a.txt"}));
}

TEST_F(Compression, NamesThatLeaveTheScratchFolderOrAddArgumentsAreRefused) {
  std::string archive = make_rar("n.rar", {{"a.txt", "A"}});
  write_file(app / "victim.txt", "keep");  // app_path + "tmps\..\victim.txt"
  fs::create_directories(app / "tmps");
  const char* names[] = {
      "..\\victim.txt",                 // climbs out of tmps\ (and would be deleted first)
      "sub\\..\\..\\victim.txt",        // climbs further down the name
      "../victim.txt",                  // either separator
      "\\victim.txt",                   // a leading separator
      "/victim.txt",                    //
      "E:\\victim.txt",                 // a drive
      "*\" \"E:\\elsewhere\\\" -ap\"",  // a quotation mark ends the argument and adds others
      "",
  };
  uo_nv_compression front;
  front.of_unzopen(archive);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(front.of_unzlocatefile(uo_nv_compression::rar_id, name), 1);
    EXPECT_FALSE(front.of_extractfile(uo_nv_compression::rar_id, name, drive.windows("got.txt"), "E:\\"));
    EXPECT_EQ(read_file(app / "victim.txt"), "keep");
    EXPECT_FALSE(exists(drive / "got.txt"));
    EXPECT_FALSE(exists(drive / "elsewhere"));
  }
  // an archive name with a quotation mark is not opened at all
  uo_nv_compression quoted;
  EXPECT_EQ(quoted.of_unzopen("E:\\n.rar\" \"E:\\x.rar"), 0u);
  EXPECT_EQ(quoted.of_zipopen("E:\\n.rar\" -ap\".rar"), 0u);
  EXPECT_FALSE(quoted.of_extractfile(uo_nv_compression::rar_id, "a.txt", drive.windows("got.txt"), "E:\\"));
  EXPECT_EQ(quoted.of_zipclose(0, ""), api32::uo_nv_ziplib::zip_paramerror);
  EXPECT_FALSE(exists(drive / "got.txt"));
}

TEST_F(Compression, AnApplicationFolderWithABlankRunsTheArchiver) {
  std::string archive = make_rar("b.rar", {{"a.txt", "A"}});
  temp_dir other;
  fs::create_directories(other / "my app/lib");
  fs::copy_file(app / "lib/rar.exe", other / "my app/lib/rar.exe");
  api32::host::globals().app_path = other.windows("my app") + "\\";
  uo_nv_compression front;
  front.of_unzopen(archive);
  EXPECT_TRUE(front.of_extractfile(uo_nv_compression::rar_id, "a.txt", "E:\\out.txt", "E:\\"));
  EXPECT_EQ(read_file(drive / "out.txt"), "A");
  // and it builds archives there: a name with "/" is staged in its folder like one with "\"
  temp_dir src;
  fs::create_directories(src / "sub");
  write_file(src / "sub/s.txt", "slash");
  EXPECT_EQ(front.of_zipopen("E:\\made.rar"), uo_nv_compression::rar_id);
  EXPECT_EQ(front.of_importfile(0, "sub/s.txt", "", src.windows() + "\\"), 1);
  EXPECT_EQ(front.of_importfile(0, "..\\outside.txt", "", src.windows() + "\\"), -1);
  EXPECT_EQ(front.of_zipclose(0, ""), 1);
  EXPECT_EQ(api32::testing::run_output("bsdtar -xOf '" + (drive / "made.rar") + "' sub/s.txt"), "slash");
}
