// extract_test.cpp - rar.exe x on real RAR archives, damaged and hostile ones, and the front-end's lines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "rar_runner.hpp"
#include "support/test_support.hpp"
#include "tools/rar/rar5_format.hpp"
#include "tools/rar/rar5_writer.hpp"

namespace rartool {
namespace {

using api32::testing::exists;
using api32::testing::python;
using api32::testing::read_file;
using api32::testing::run;
using api32::testing::temp_dir;
using api32::testing::write_file;
using testing::fixture;
using testing::run_rar;
using testing::tree;
using testing::write_hostile;
using strings = std::vector<std::string>;

// Regular files and folders of an extraction by bsdtar, our reference, with the links left out.
strings files_only(const std::string& folder) {
  strings out;
  for (const auto& p : tree(folder)) {
    if (p.back() != '@' && (p.back() == '/' || !std::filesystem::is_symlink(folder + "/" + p))) out.push_back(p);
  }
  return out;
}

TEST(RarExtract, RealArchivesExtractByteForByte) {
  struct row {
    const char* name;
    int exit_code;  // 1 where the archive holds symbolic links, which are not created
  };
  const row rows[] = {
      {"test_read_format_rar.rar", 1},
      {"test_read_format_rar_unicode.rar", 1},
      {"test_read_format_rar5_stored.rar", 0},
      {"test_read_format_rar5_compressed.rar", 0},
      {"test_read_format_rar5_multiple_files.rar", 0},
      {"test_read_format_rar5_solid.rar", 0},
      {"test_read_format_rar5_stored_manyfiles.rar", 0},
      {"test_read_format_rar5_unicode.rar", 1},
  };
  for (const auto& r : rows) {
    temp_dir ours, reference;
    auto result = run_rar({"x", "-o+", fixture(r.name)}, ours.path());
    EXPECT_EQ(result.exit_code, r.exit_code) << r.name << ": " << result.errors;
    ASSERT_EQ(run("bsdtar -xf '" + fixture(r.name) + "' -C '" + reference.path() + "' 2>/dev/null"), 0) << r.name;
    const strings expected = files_only(reference.path());
    EXPECT_EQ(tree(ours.path()), expected) << r.name;  // no links, nothing else either
    for (const auto& p : expected) {
      if (p.back() == '/') continue;
      EXPECT_EQ(read_file(ours / p), read_file(reference / p)) << r.name << ": " << p;
    }
  }
}

TEST(RarExtract, LinksAreNeitherCreatedNorFollowed) {
  temp_dir out;
  auto result = run_rar({"x", "-o+", fixture("test_read_format_rar5_unicode.rar")}, out.path());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.errors.find("symbolic link"), std::string::npos);
  // the hard link becomes a copy of its target; the symbolic link is reported and left out
  EXPECT_EQ(read_file(out / "Ⓗⓐⓡⓓ Ⓛⓘⓝⓚ.txt"), read_file(out / "👋🌎.txt"));
  EXPECT_FALSE(exists(out / "𝒮𝓎𝓂𝒷𝑜𝓁𝒾𝒸 𝐿𝒾𝓃𝓀.txt"));
}

TEST(RarExtract, EncryptedEntriesAreReportedNotWritten) {
  temp_dir out;
  auto result = run_rar({"x", "-o+", fixture("test_read_format_rar4_encrypted.rar")}, out.path());
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_NE(result.errors.find("b.txt: encrypted"), std::string::npos) << result.errors;
  EXPECT_NE(result.errors.find("d.txt: encrypted"), std::string::npos) << result.errors;
  // a.txt and c.txt are stored in the clear in this archive
  EXPECT_EQ(tree(out.path()), (strings{"a.txt", "c.txt"}));
  EXPECT_EQ(read_file(out / "a.txt"), "This is from a.txt");
}

// RAR 5 archives with an encrypted entry, and with encrypted headers (crafted: no fixture has them).
TEST(RarExtract, EncryptedRar5IsReportedNotWritten) {
  using namespace rar5;
  bytes record;  // file encryption record: version, flags, KDF count, salt and IV
  put_vint(record, fhextra_crypt);
  put_vint(record, 0);
  put_vint(record, 0);
  record.push_back(15);
  record.insert(record.end(), 32, 0x5a);
  bytes extra;
  put_vint(extra, record.size());
  extra.insert(extra.end(), record.begin(), record.end());
  const std::string name = "secret.txt", data(16, 'Z');
  bytes fields;
  using values = std::initializer_list<std::uint64_t>;
  for (std::uint64_t v : values{head_file, hfl_extra | hfl_data, extra.size(), data.size(), fhfl_crc32, 5, 0100644})
    put_vint(fields, v);
  put_u32(fields, 0x12345678);
  for (std::uint64_t v : values{0, host_unix, name.size()}) put_vint(fields, v);
  fields.insert(fields.end(), name.begin(), name.end());
  fields.insert(fields.end(), extra.begin(), extra.end());

  auto archive = [](std::vector<bytes> blocks) {
    bytes out(std::begin(signature), std::end(signature));
    for (const auto& b : blocks) out.insert(out.end(), b.begin(), b.end());
    return std::string(out.begin(), out.end());
  };
  bytes entry = seal(fields);
  entry.insert(entry.end(), data.begin(), data.end());
  bytes crypt_fields;
  put_vint(crypt_fields, head_encryption);
  put_vint(crypt_fields, 0);
  crypt_fields.insert(crypt_fields.end(), 20, 0x01);

  temp_dir work;
  write_file(work / "entry.rar", archive({main_header(), entry, end_header()}));
  write_file(work / "headers.rar", archive({seal(crypt_fields), main_header(), end_header()}));
  struct row {
    const char* archive;
    int exit_code;
  };
  for (const row& r : {row{"entry.rar", 3}, row{"headers.rar", 2}}) {
    temp_dir out;
    auto result = run_rar({"x", "-o+", work / r.archive}, out.path());
    EXPECT_EQ(result.exit_code, r.exit_code) << r.archive << ": " << result.errors;
    EXPECT_NE(result.errors.find("encrypted"), std::string::npos) << result.errors;
    EXPECT_EQ(tree(out.path()), strings{}) << r.archive;
  }
}

TEST(RarExtract, DamagedDataLeavesTheOldFileAndNoTrace) {
  const std::string good = read_file(fixture("test_read_format_rar5_stored.rar"));
  const std::size_t data_at = good.find("hello libarchive");
  ASSERT_NE(data_at, std::string::npos);
  temp_dir work;
  std::string bad_crc = good;
  bad_crc[data_at] = 'J';  // the decoder does not notice; the header's CRC does
  write_file(work / "crc.rar", bad_crc);
  write_file(work / "cut.rar", good.substr(0, data_at + 10));
  const std::string compressed = read_file(fixture("test_read_format_rar5_compressed.rar"));
  write_file(work / "cutz.rar", compressed.substr(0, compressed.size() - 40));
  std::string rar4 = read_file(fixture("test_read_format_rar.rar"));
  rar4[rar4.find("test text document")] = 'X';  // test.txt, stored
  write_file(work / "crc4.rar", rar4);

  struct row {
    const char* archive;
    const char* target;
    int exit_code;
  };
  const row rows[] = {{"crc.rar", "helloworld.txt", 3},
                      {"cut.rar", "helloworld.txt", 2},
                      {"cutz.rar", "test.bin", 2},
                      {"crc4.rar", "test.txt", 3}};
  for (const auto& r : rows) {
    temp_dir out;
    write_file(out / r.target, "previous");
    auto result = run_rar({"x", "-o+", work / r.archive, r.target}, out.path());
    EXPECT_EQ(result.exit_code, r.exit_code) << r.archive << ": " << result.errors;
    EXPECT_EQ(read_file(out / r.target), "previous") << r.archive;
    EXPECT_EQ(tree(out.path()), strings{r.target}) << r.archive;  // no temporary file left
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
  }
}

TEST(RarExtract, NeverWritesOutsideTheDestination) {
  temp_dir root;
  ASSERT_EQ(::mkdir((root / "dest").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((root / "outside").c_str(), 0755), 0);
  // a link someone left in the destination must not carry an entry out of it
  ASSERT_EQ(::symlink((root / "outside").c_str(), (root / "dest/linked").c_str()), 0);
  const std::string absolute = root / "outside/abs.txt";
  write_hostile(root / "evil.rar", {"../up.txt", "a/../../up2.txt", "..\\win.txt", absolute, "C:\\drive.txt",
                                    "linked/through.txt", "fine/ok.txt"});
  auto result = run_rar({"x", "-o+", root / "evil.rar", root.path() + "/dest/"}, root.path());
  EXPECT_EQ(result.exit_code, 1) << result.errors;
  EXPECT_EQ(tree(root / "outside"), strings{});
  EXPECT_FALSE(exists(root / "up.txt"));
  EXPECT_FALSE(exists(root / "up2.txt"));
  EXPECT_FALSE(exists(root / "win.txt"));
  EXPECT_EQ(tree(root / "dest"), (strings{"fine/", "fine/ok.txt", "linked@"}));
  EXPECT_EQ(read_file(root / "dest/fine/ok.txt"), "fine/ok.txt");
  // one line per refused entry
  EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 6) << result.errors;
}

TEST(RarExtract, HostileZipFromPythonIsHandledTheSameWay) {
  temp_dir root;
  ASSERT_EQ(::mkdir((root / "dest").c_str(), 0755), 0);
  const std::string script = root / "make.py";
  write_file(script,
             "import zipfile, sys\n"
             "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
             "    z.writestr('../escape.txt', 'bad')\n"
             "    z.writestr('/tmp/absolute-from-zip.txt', 'bad')\n"
             "    z.writestr('dir/good.txt', 'good')\n");
  ASSERT_EQ(run(std::string(python()) + " '" + script + "' '" + (root / "evil.zip") + "'"), 0);
  auto result = run_rar({"x", "-o+", root / "evil.zip", "dest/"}, root.path());
  EXPECT_EQ(result.exit_code, 1) << result.errors;
  EXPECT_FALSE(exists(root / "escape.txt"));
  EXPECT_EQ(tree(root / "dest"), (strings{"dir/", "dir/good.txt"}));
}

TEST(RarExtract, MasksOverwriteAndCaseFollowWindows) {
  temp_dir out;
  const std::string archive = fixture("test_read_format_rar.rar");
  // a plain name selects that entry, with either separator and in any case
  auto one = run_rar({"x", "-o+", archive, "TESTDIR/Test.TXT"}, out.path());
  EXPECT_EQ(one.exit_code, 0) << one.errors;
  EXPECT_EQ(tree(out.path()), (strings{"testdir/", "testdir/test.txt"}));

  // an existing folder in another case is used, not doubled; without -o+ existing files stay
  temp_dir merge;
  ASSERT_EQ(::mkdir((merge / "TestDir").c_str(), 0755), 0);
  write_file(merge / "TestDir/TEST.txt", "mine");
  write_file(merge / "test.txt", "mine too");
  auto keep = run_rar({"x", archive, "testdir\\test.txt", "test.txt"}, merge.path());
  EXPECT_EQ(keep.exit_code, 0) << keep.errors;
  EXPECT_EQ(read_file(merge / "TestDir/TEST.txt"), "mine");
  auto replace = run_rar({"x", "-o+", archive, "testdir\\test.txt"}, merge.path());
  EXPECT_EQ(replace.exit_code, 0) << replace.errors;
  EXPECT_EQ(tree(merge.path()), (strings{"TestDir/", "TestDir/TEST.txt", "test.txt"}));
  EXPECT_EQ(read_file(merge / "TestDir/TEST.txt").size(), 20u);

  // wildcards without a separator match file names in every folder
  temp_dir wild;
  EXPECT_EQ(run_rar({"x", archive, "*.txt"}, wild.path()).exit_code, 0);
  EXPECT_EQ(tree(wild.path()), (strings{"test.txt", "testdir/", "testdir/test.txt"}));

  // -ap takes entries from a folder inside the archive, without that folder
  temp_dir inner;
  EXPECT_EQ(run_rar({"x", "-apTestDir", archive}, inner.path()).exit_code, 0);
  EXPECT_EQ(tree(inner.path()), (strings{"test.txt"}));

  temp_dir none;
  auto missing = run_rar({"x", archive, "nothing.here"}, none.path());
  EXPECT_EQ(missing.exit_code, 10);
  EXPECT_EQ(tree(none.path()), strings{});
}

TEST(RarExtract, ExitCodesForWhatCannotRun) {
  temp_dir work;
  write_file(work / "junk.rar", "this is not an archive at all, just some text");
  struct row {
    strings args;
    int exit_code;
  };
  const row rows[] = {
      {{"x", "-zz", "a.rar"}, 7},
      {{"t", "a.rar"}, 7},
      {{}, 7},
      {{"x", "-o+", work / "missing.rar"}, 6},
      {{"x", "-o+", work.path()}, 6},
      {{"x", "-o+", work / "junk.rar"}, 2},
  };
  for (const auto& r : rows) {
    auto result = run_rar(r.args, work.path());
    EXPECT_EQ(result.exit_code, r.exit_code) << (r.args.empty() ? "(none)" : r.args.back());
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
  }
}

// The lines the archive front-end builds, arriving as the process layer passes them: argv split by the
// Windows rules (so "E:\" arrives as E:") and the raw line in API32_CMDLINE.
TEST(RarExtract, FrontEndLinesReachTheirFolders) {
  temp_dir app, drive_e;
  ASSERT_EQ(::mkdir((app / "lib").c_str(), 0755), 0);
  const std::string archive = app.windows("mods.rar");
  ASSERT_EQ(run("cp '" + fixture("test_read_format_rar.rar") + "' '" + (app / "mods.rar") + "'"), 0);

  // single entry: rar.exe x -o+ -ri15 "<archive>" "testdir\test.txt" "E:\", run in lib\ .
  const std::string line =
      app.windows("lib\\Rar.exe") + " x -o+ -ri15 \"" + archive + "\" \"testdir\\test.txt\" \"E:\\\"";
  const strings argv = testing::arguments_of(line);
  ASSERT_EQ(argv.back(), "E:\"");  // what the Windows rules make of "E:\"
  auto single = run_rar(argv, app / "lib", {{"API32_CMDLINE", line}, {"API32_DRIVE_E", drive_e.path()}});
  EXPECT_EQ(single.exit_code, 0) << single.errors;
  EXPECT_EQ(tree(drive_e.path()), (strings{"testdir/", "testdir/test.txt"}));
  EXPECT_EQ(tree(app / "lib"), strings{});

  // extract everything: rar.exe x -r -o+ "<archive>" "*.*" "" in the base folder
  temp_dir base;
  const std::string all_line = app.windows("lib\\rar.exe") + " x -r -o+ \"" + archive + "\" \"*.*\" \"\"";
  auto all = run_rar(testing::arguments_of(all_line), base.path(), {{"API32_CMDLINE", all_line}});
  EXPECT_EQ(all.exit_code, 1) << all.errors;  // the archive's symbolic link is not created
  EXPECT_EQ(tree(base.path()), (strings{"test.txt", "testdir/", "testdir/test.txt", "testemptydir/"}));
}

}  // namespace
}  // namespace rartool
