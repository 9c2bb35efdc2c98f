// api32 list, extract, cat and test as a user runs them: names given back as the listing shows them, refused
// entries named with their reason, names from an archive never reaching a terminal raw, archives that cannot
// be read failing the command, the habits of the peers (-q, -v, files in place, "-"), the progress line on a
// terminal, and JSON that parses back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.hpp"

using api32::testing::read_file;
using api32::testing::run;
using api32::testing::temp_dir;

namespace {

struct outcome {
  int status;
  std::string out;
  std::string err;
};

class ApiCommand : public ::testing::Test {
protected:
  // Archives made once: by Info-ZIP zip, by Python's zipfile, and the zip tests' fixture script.
  static void SetUpTestSuite() {
    archives_ = std::make_unique<temp_dir>();
    const std::string dir = archives_->path();
    const std::string source = api32::testing::source_dir();
    bool ok = run(std::string(api32::testing::python()) + " '" + source + "/tests/zip/make_fixtures.py' '" + dir +
                  "'") == 0 &&
              run("cd '" + dir +
                  "' && mkdir -p src/Docs && printf 'read me\\n' >'src/Docs/Read Me.txt' && cd src && "
                  "zip -q ../names.zip 'Docs/Read Me.txt' && zip -q -P secret ../secret.zip "
                  "'Docs/Read Me.txt'") == 0 &&
              run(std::string(api32::testing::python()) +
                  " -c 'import sys, zipfile\n"
                  "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                  "    z.writestr(\"evil\\x1b[31mred\\x07.txt\", b\"x\")\n"
                  "    z.writestr(\"dir\\r\\n/tab\\there.t\\tx\\r\\nt\", b\"y\")\n"
                  "    z.writestr(\"after.txt\", b\"zz\")' '" +
                  dir + "/controls.zip'") == 0;
    if (!ok) throw std::runtime_error("the archives of the command tests could not be made");
  }
  static void TearDownTestSuite() { archives_.reset(); }

  static std::string archive(const std::string& name) { return *archives_ / name; }

  // Runs the command with `arguments` (already quoted for the shell); on a terminal when `terminal`; with
  // the file `input` as standard input (else /dev/null) and TMPDIR in the work folder.
  outcome api32(const std::string& arguments, bool terminal = false, const std::string& input = "/dev/null") {
    std::string command =
        "TMPDIR='" + (work / "tmp") + "' '" + api32::testing::build_dir() + "/bin/api32' " + arguments;
    if (terminal) command = "script -qec \"" + command + "\" /dev/null";
    std::filesystem::create_directories(work / "tmp");
    int status = run(command + " >'" + (work / "out") + "' 2>'" + (work / "err") + "' <'" + input + "'");
    return {status, read_file(work / "out"), read_file(work / "err")};
  }

  temp_dir work;

private:
  static std::unique_ptr<temp_dir> archives_;
};

std::unique_ptr<temp_dir> ApiCommand::archives_;

std::string in_quotes(const std::string& text) { return "'" + text + "'"; }

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

TEST_F(ApiCommand, ExtractAndCatTakeNamesWithEitherSeparatorAndAnyCase) {
  // the listing shows the stored Docs/Read Me.txt as Docs\Read Me.txt
  outcome listed = api32("list " + in_quotes(archive("names.zip")) + " --table");
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("Docs\\Read Me.txt"), std::string::npos) << listed.out;
  for (const char* name : {"Docs/Read Me.txt", "Docs\\Read Me.txt", "docs\\READ ME.txt", "DOCS/read me.TXT"}) {
    SCOPED_TRACE(name);
    outcome cat = api32("cat " + in_quotes(archive("names.zip")) + " " + in_quotes(name));
    EXPECT_EQ(cat.status, 0) << cat.err;
    EXPECT_EQ(cat.out, "read me\n");
    outcome extract =
        api32("extract " + in_quotes(archive("names.zip")) + " " + in_quotes(name) + " " + in_quotes(work / "x"));
    EXPECT_EQ(extract.status, 0) << extract.err;
    EXPECT_EQ(read_file(work / "x"), "read me\n");
  }
  outcome missing = api32("cat " + in_quotes(archive("names.zip")) + " 'Docs\\Other.txt'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("no entry Docs\\Other.txt in"), std::string::npos) << missing.err;
}

TEST_F(ApiCommand, ARefusedEntryIsNamedOnStderrWithItsReason) {
  struct refused {
    const char* archive;
    const char* entry;
    const char* reason;
  } rows[] = {
      {"secret.zip", "Docs/Read Me.txt", "encrypted"},
      {"overlap-shared.zip", "other.txt", "overlap another entry"},
      {"method-unknown.zip", "m.bin", "method this reader does not decode"},
      {"bad-crc.zip", "crc.bin", "CRC mismatch"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.archive);
    for (const char* command : {"cat", "extract"}) {
      std::string target = std::string(command) == "extract" ? " " + in_quotes(work / "target") : "";
      outcome o = api32(std::string(command) + " " + in_quotes(archive(r.archive)) + " " + in_quotes(r.entry) + target);
      EXPECT_EQ(o.status, 1);
      EXPECT_EQ(o.out, "");
      EXPECT_NE(o.err.find(std::string("refused ") + r.entry + " in "), std::string::npos) << o.err;
      EXPECT_NE(o.err.find(r.reason), std::string::npos) << o.err;
      EXPECT_FALSE(api32::testing::exists(work / "target"));
    }
  }
}

TEST_F(ApiCommand, NamesWithControlCharactersReachATerminalEscaped) {
  for (const char* format : {"", " --table"}) {
    SCOPED_TRACE(format);
    outcome shown = api32("list " + in_quotes(archive("controls.zip")) + format, true);
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("evil\\x1b[31mred\\x07.txt"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(shown.out.find('\x07'), std::string::npos);
  }
  // a pipe gets the names as they are, for programs that read them
  outcome piped = api32("list " + in_quotes(archive("controls.zip")));
  EXPECT_NE(piped.out.find("evil\x1b[31mred\x07.txt"), std::string::npos);
  outcome json = api32("list " + in_quotes(archive("controls.zip")) + " --json");
  EXPECT_NE(json.out.find("evil\\u001b[31mred\\u0007.txt"), std::string::npos) << json.out;
  EXPECT_EQ(nlohmann::json::parse(json.out)[0]["name"], "evil\x1b[31mred\x07.txt");
}

TEST_F(ApiCommand, NamesWithTabsAndLineBreaksKeepTheirRowsTogether) {
  // the name, its folder and the type made from its extension hold tabs and CR LF: the table tells the
  // listing's rows and fields apart, so each entry stays one row of nine fields
  outcome json = api32("list " + in_quotes(archive("controls.zip")) + " --json");
  ASSERT_EQ(json.status, 0) << json.err;
  auto rows = nlohmann::json::parse(json.out);
  ASSERT_EQ(rows.size(), 3u) << json.out;
  EXPECT_EQ(rows[1]["name"], "tab\there.t\tx\r\nt");
  EXPECT_EQ(rows[1]["type"], "T\tX\r\nT File");
  EXPECT_EQ(rows[1]["size"], 1);
  EXPECT_EQ(rows[1]["ratio"], 1);
  EXPECT_EQ(rows[1]["compressed_size"], 1);
  EXPECT_EQ(rows[1]["attributes"], "");
  EXPECT_EQ(rows[1]["folder"], "dir\r\n\\");
  EXPECT_EQ(rows[1]["fullname"], "dir\r\n\\tab\there.t\tx\r\nt");
  EXPECT_EQ(rows[2]["name"], "after.txt");
  EXPECT_EQ(rows[2]["size"], 2);
  EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 5) << json.out;  // [, three rows, ]

  outcome shown = api32("list " + in_quotes(archive("controls.zip")), true);
  ASSERT_EQ(shown.status, 0) << shown.err;
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = shown.out.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(shown.out.substr(at, end - at));
  ASSERT_EQ(lines.size(), 3u) << shown.out;
  EXPECT_EQ(lines[1].rfind("tab\\there.t\\tx\\r\\nt\tT\\tX\\r\\nT File\t", 0), 0u) << lines[1];
  EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), '\t'), 8) << lines[1];
}

TEST_F(ApiCommand, ArchivesReadAsPeersReadThemOrFailTheCommand) {
  // Go's Zip64 archive with a data descriptor: listed and extracted, as Info-ZIP, bsdtar and Python do
  std::string go_zip64 = api32::testing::source_dir() + "/tests/fixtures/zip/go/zip64.zip";
  outcome extracted = api32("list " + in_quotes(go_zip64) + " --extract-to " + in_quotes(work / "out-dir"));
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(read_file(work / "out-dir/README"), "This small file is in ZIP64 format.\n");
  // a directory that is nowhere the end record says: the command fails with the library's boxes
  for (const char* name : {"directory-lost.zip", "truncated.zip"}) {
    SCOPED_TRACE(name);
    outcome failed = api32("list " + in_quotes(archive(name)));
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_NE(failed.err.find("The zip file is invalid or can't be found!"), std::string::npos) << failed.err;
  }
}

TEST_F(ApiCommand, EveryCommandAnswersGoodMissingDamagedBadCrcAndEncryptedArchives) {
  struct subject {
    const char* label;
    std::string archive;
    const char* entry;
  };
  const subject subjects[] = {
      {"good", archive("names.zip"), "Docs/Read Me.txt"},
      {"missing", archive("no-such.zip"), "x"},
      {"damaged", archive("truncated.zip"), "x"},
      {"bad CRC", archive("bad-crc.zip"), "crc.bin"},
      {"encrypted", archive("secret.zip"), "Docs/Read Me.txt"},
  };
  const std::string no_such = "api32: no such archive: " + archive("no-such.zip");
  const std::string unreadable = "Ziplib Error in of_unzopen: The zip file is invalid or can't be found!";
  const std::string crc_refused = "api32: refused crc.bin in " + archive("bad-crc.zip") + ": CRC mismatch";
  const std::string secret_refused =
      "api32: refused Docs/Read Me.txt in " + archive("secret.zip") + ": encrypted (passwords are not supported)";
  struct expectation {
    int status;
    std::string first_error_line;
  };
  // per command, in the order of `subjects`
  const struct {
    const char* command;
    expectation answers[5];
  } table[] = {
      {"list", {{0, ""}, {1, no_such}, {1, unreadable}, {0, ""}, {0, ""}}},
      {"test",
       {{0, ""},
        {1, no_such},
        {1, unreadable},
        {1, "api32: " + archive("bad-crc.zip") + ": crc.bin: CRC mismatch"},
        {1, "api32: " + archive("secret.zip") + ": Docs/Read Me.txt: encrypted (passwords are not supported)"}}},
      {"cat", {{0, ""}, {1, no_such}, {1, unreadable}, {1, crc_refused}, {1, secret_refused}}},
      {"extract", {{0, ""}, {1, no_such}, {1, unreadable}, {1, crc_refused}, {1, secret_refused}}},
      {"extract-to",
       {{0, "1 files extracted below " + (work / "to")},
        {1, no_such},
        {1, unreadable},
        {1, "api32: " + archive("bad-crc.zip") + ": crc.bin not extracted: CRC mismatch"},
        {1, "api32: " + archive("secret.zip") +
                ": Docs/Read Me.txt not extracted: encrypted (passwords are not supported)"}}},
  };
  for (const auto& row : table) {
    for (std::size_t i = 0; i < std::size(subjects); ++i) {
      const auto& subject = subjects[i];
      SCOPED_TRACE(std::string(row.command) + " of the " + subject.label + " archive");
      std::string command = row.command, arguments = in_quotes(subject.archive);
      if (command == "cat" || command == "extract") arguments += " " + in_quotes(subject.entry);
      if (command == "extract") arguments += " " + in_quotes(work / "target");
      if (command == "extract-to") command = "list", arguments += " --extract-to " + in_quotes(work / "to");
      outcome o = api32(command + " " + arguments);
      EXPECT_EQ(o.status, row.answers[i].status) << o.err;
      EXPECT_EQ(first_line(o.err), row.answers[i].first_error_line);
      // after the library's box, the command's own line names the archive and the reason
      if (std::string(subject.label) == "damaged") {
        EXPECT_NE(o.err.find("api32: " + subject.archive + ": not a zip archive, or too damaged to read"),
                  std::string::npos)
            << o.err;
      }
      if (o.status != 0) {
        EXPECT_FALSE(api32::testing::exists(work / "target"));
      }
      std::filesystem::remove_all(work / "to");
      std::filesystem::remove(work / "target");
    }
  }
  // test's summary line for a good archive, and nothing else with --quiet
  outcome good = api32("test " + in_quotes(archive("names.zip")));
  EXPECT_EQ(good.out, "No errors in " + archive("names.zip") + ": 1 entries, 8 bytes\n");
  outcome quiet = api32("test -q " + in_quotes(archive("names.zip")));
  EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST_F(ApiCommand, TestFindsWhatInfoZipFindsInArchivesOfOtherTools) {
  // every entry read to its end: data that ends early, that does not decode, or that a header contradicts
  for (const char* name : {"basic.zip", "three.zip", "names.zip", "corrupt-deflate.zip", "truncated-data.zip",
                           "overlap-shared.zip", "bad-local-offset.zip", "method-damaged.zip", "zip64-bad-crc.zip"}) {
    SCOPED_TRACE(name);
    int peer = run("unzip -tqq " + in_quotes(archive(name)) + " >/dev/null 2>&1");
    outcome o = api32("test " + in_quotes(archive(name)));
    EXPECT_EQ(o.status == 0, peer == 0) << o.out << o.err;
  }
  // stricter than Info-ZIP, which checks the CRC of whatever the stream holds: an entry is read to the size
  // its header declares, so a size that lies fails the test
  for (const auto& [name, reason] : {std::pair{"size-lie-short.zip", "the data end before the entry's declared size"},
                                     std::pair{"size-lie-long.zip", "CRC mismatch"}}) {
    SCOPED_TRACE(name);
    outcome o = api32("test " + in_quotes(archive(name)));
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(first_line(o.err).find(reason), std::string::npos) << o.err;
  }
}

TEST_F(ApiCommand, EveryJsonOutputParsesBack) {
  for (const char* name : {"names.zip", "controls.zip", "cp437.zip", "utf8-flag-invalid.zip", "bad-crc.zip"}) {
    SCOPED_TRACE(name);
    outcome listed = api32("list --json " + in_quotes(archive(name)));
    EXPECT_EQ(listed.status, 0) << listed.err;
    auto rows = nlohmann::json::parse(listed.out);  // throws (and fails the test) on anything but JSON
    ASSERT_TRUE(rows.is_array());
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows) {
      EXPECT_EQ(row.size(), 9u);
      EXPECT_TRUE(row["size"].is_number()) << row.dump();
    }
    outcome tested = api32("test --json " + in_quotes(archive(name)));
    auto result = nlohmann::json::parse(tested.out);
    EXPECT_EQ(result["ok"], tested.status == 0);
    EXPECT_EQ(result["entries"], rows.size());
  }
  auto bad = nlohmann::json::parse(api32("test --json " + in_quotes(archive("bad-crc.zip"))).out);
  EXPECT_EQ(bad["bad"], nlohmann::json::parse(R"([{"name": "crc.bin", "reason": "CRC mismatch"}])"));
}

TEST_F(ApiCommand, StandardInputIsReadAsTheArchiveAndItsCopyRemoved) {
  outcome listed = api32("list -", false, archive("names.zip"));
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("Read Me.txt"), std::string::npos) << listed.out;
  outcome cat = api32("cat - 'Docs/Read Me.txt'", false, archive("names.zip"));
  EXPECT_EQ(cat.out, "read me\n");
  outcome bad = api32("test -", false, archive("bad-crc.zip"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(first_line(bad.err), "api32: (standard input): crc.bin: CRC mismatch");
  outcome empty = api32("test -", false, "/dev/null");
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find("api32: (standard input): not a zip archive"), std::string::npos) << empty.err;
  EXPECT_TRUE(api32::testing::tree(work / "tmp").empty());  // no spooled copy left behind
}

// Sets a file's modification time to `year`-06-01 12:00 local time.
static void set_year(const std::string& path, int year) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = 5;
  fields.tm_mday = 1;
  fields.tm_hour = 12;
  fields.tm_isdst = -1;
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = std::mktime(&fields);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(ApiCommand, FilesInPlaceAreReplacedKeptOrKeptWhenNewer) {
  // entries dated 2020; in the target, new.txt is from 2025 and old.txt from 2010
  ASSERT_EQ(run(std::string(api32::testing::python()) +
                " -c 'import sys, zipfile\n"
                "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                "    for n in (\"new.txt\", \"old.txt\"): z.writestr(zipfile.ZipInfo(n, (2020, 6, 1, 12, 0, 0)), "
                "b\"from the archive\")' " +
                in_quotes(work / "dated.zip")),
            0);
  struct {
    const char* option;
    const char* new_txt;
    const char* old_txt;
  } cases[] = {
      {"", "from the archive", "from the archive"},
      {"--overwrite", "from the archive", "from the archive"},
      {"--skip-existing", "in place", "in place"},
      {"--keep-newer", "in place", "from the archive"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    std::filesystem::create_directories(work / "to");
    api32::testing::write_file(work / "to/new.txt", "in place");
    api32::testing::write_file(work / "to/old.txt", "in place");
    set_year(work / "to/new.txt", 2025);
    set_year(work / "to/old.txt", 2010);
    outcome o = api32("list " + in_quotes(work / "dated.zip") + " --extract-to " + in_quotes(work / "to") + " " +
                      c.option + " -v");
    EXPECT_EQ(o.status, 0) << o.err;  // a file kept by choice is no failure
    EXPECT_EQ(read_file(work / "to/new.txt"), c.new_txt);
    EXPECT_EQ(read_file(work / "to/old.txt"), c.old_txt);
    // -v names each file kept
    bool kept = std::string(c.new_txt) == "in place";
    EXPECT_EQ(o.err.find("new.txt not extracted: ") != std::string::npos, kept) << o.err;
    std::filesystem::remove_all(work / "to");
  }
  outcome both = api32("list " + in_quotes(work / "dated.zip") + " --skip-existing --keep-newer");
  EXPECT_EQ(both.status, 2);  // one choice at a time
}

TEST_F(ApiCommand, ProgressLineOnATerminalOnly) {
  // a few megabytes in several entries, so the work takes a while
  ASSERT_EQ(run("cd '" + work.path() +
                "' && head -c 3000000 /dev/urandom >a.bin && cp a.bin b.bin && cp a.bin c.bin && "
                "zip -q -0 big.zip a.bin b.bin c.bin"),
            0);
  const std::string big = in_quotes(work / "big.zip");
  struct {
    std::string arguments;
    const char* line;  // how the first report starts
  } cases[] = {
      {"list " + big + " --extract-to " + in_quotes(work / "to"), "\rextracting 0/3 entries, 0 B of 9.0 MB (0%)"},
      {"test " + big, "\rtesting 0/3 entries, 0 B of 9.0 MB (0%)"},
      {"create " + in_quotes(work / "again.zip") + " " + in_quotes(work / "a.bin"), "\radding 0/1 entries, "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    outcome shown = api32(c.arguments, true);
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_NE(shown.out.find(c.line), std::string::npos) << shown.out;      // script puts stderr in the output
    EXPECT_NE(shown.out.find("\r\x1b[K"), std::string::npos) << shown.out;  // and the line is cleared at the end
    outcome quiet = api32(c.arguments + " --quiet", true);
    EXPECT_EQ(quiet.out.find('\r'), std::string::npos) << quiet.out;
    outcome piped = api32(c.arguments);
    EXPECT_EQ(piped.err.find('\r'), std::string::npos) << piped.err;
    std::filesystem::remove_all(work / "to");
    std::filesystem::remove(work / "again.zip");
  }
}

TEST_F(ApiCommand, RarArchivesListTheirFilesAsBsdtarDoes) {
  const std::string fixtures = api32::testing::source_dir() + "/tests/fixtures/rar/";
  for (const char* name : {"test_read_format_rar.rar", "test_read_format_rar5_multiple_files.rar",
                           "test_read_format_rar5_stored_manyfiles.rar", "test_read_format_rar_unicode.rar",
                           "test_read_format_rar5_unicode.rar"}) {
    SCOPED_TRACE(name);
    // bsdtar's regular files: "-rw-r--r--  0 0 0 size month day year name", hard links ("x link to y") left out
    std::map<std::string, std::uint64_t> expected;
    std::istringstream peer(api32::testing::run_output("bsdtar -tvf " + in_quotes(fixtures + name)));
    for (std::string line; std::getline(peer, line);) {
      if (line.empty() || line[0] != '-' || line.find(" link to ") != std::string::npos) continue;
      std::istringstream fields(line);
      std::string mode, links, uid, gid, month, day, year;
      std::uint64_t size = 0;
      fields >> mode >> links >> uid >> gid >> size >> month >> day >> year;
      std::string file;
      std::getline(fields >> std::ws, file);
      expected[file] = size;
    }
    ASSERT_FALSE(expected.empty());

    outcome listed = api32("list --json " + in_quotes(fixtures + name));
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::map<std::string, std::uint64_t> ours;
    for (const auto& row : nlohmann::json::parse(listed.out)) {
      std::string full = row["fullname"];
      std::replace(full.begin(), full.end(), '\\', '/');
      ours[full] = row["size"];
      EXPECT_EQ(row["datetime"].get<std::string>().size(), 19u) << row.dump();  // yyyy-mm-dd hh:mm:ss
      EXPECT_TRUE(row["compressed_size"].is_number()) << row.dump();
    }
    EXPECT_EQ(ours, expected);
    // the plain listing has the same rows, one a line
    outcome plain = api32("list " + in_quotes(fixtures + name));
    EXPECT_EQ(static_cast<std::size_t>(std::count(plain.out.begin(), plain.out.end(), '\n')), expected.size());
  }
  // not a RAR archive at all, and one cut short: the command fails and says so
  api32::testing::write_file(work / "noise.rar", std::string(4096, 'x'));
  ASSERT_EQ(run("head -c 60 " + in_quotes(fixtures + "test_read_format_rar5_multiple_files.rar") + " >" +
                in_quotes(work / "cut.rar")),
            0);
  for (const char* name : {"noise.rar", "cut.rar"}) {
    SCOPED_TRACE(name);
    outcome damaged = api32("list " + in_quotes(work / name));
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.err.find("api32: " + (work / name) + ": the archiver cannot list it"), std::string::npos)
        << damaged.err;
  }
}

// Extracting with the listing: one line per entry not written, with its reason; only what was written is
// counted; any entry not written fails the command.
TEST_F(ApiCommand, EntriesNotExtractedAreNamedCountedOutAndFailTheCommand) {
  outcome bomb = api32("list " + in_quotes(archive("overlap-bomb.zip")) + " --extract-to " + in_quotes(work / "b"));
  EXPECT_EQ(bomb.status, 1) << bomb.err;
  EXPECT_NE(bomb.err.find("api32: " + archive("overlap-bomb.zip") +
                          ": bomb/07.bin not extracted: its data overlap another entry's (a zip bomb)\n"),
            std::string::npos)
      << bomb.err;
  EXPECT_EQ(std::count(bomb.err.begin(), bomb.err.end(), '\n'), 21) << bomb.err;
  EXPECT_NE(bomb.err.find("1 files extracted below " + (work / "b") + ", 20 not extracted"), std::string::npos)
      << bomb.err;
  EXPECT_EQ(api32::testing::tree(work / "b"), std::vector<std::string>{"alone.txt"});

  outcome whole = api32("list " + in_quotes(archive("swap-race.zip")) + " --extract-to " + in_quotes(work / "w"));
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_NE(whole.err.find("3 files extracted below "), std::string::npos) << whole.err;
}
