// api32 list, extract and cat as a user runs them: names given back as the listing shows them, refused
// entries named with their reason, names from an archive never reaching a terminal raw, and archives that
// cannot be read failing the command.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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

  // Runs the command with `arguments` (already quoted for the shell); on a terminal when `terminal`.
  outcome api32(const std::string& arguments, bool terminal = false) {
    std::string command = "'" + api32::testing::build_dir() + "/bin/api32' " + arguments;
    if (terminal) command = "script -qec \"" + command + "\" /dev/null";
    int status = run(command + " >'" + (work / "out") + "' 2>'" + (work / "err") + "' </dev/null");
    return {status, read_file(work / "out"), read_file(work / "err")};
  }

  temp_dir work;

private:
  static std::unique_ptr<temp_dir> archives_;
};

std::unique_ptr<temp_dir> ApiCommand::archives_;

std::string in_quotes(const std::string& text) { return "'" + text + "'"; }

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
}

TEST_F(ApiCommand, NamesWithTabsAndLineBreaksKeepTheirRowsTogether) {
  // the name, its folder and the type made from its extension hold tabs and CR LF: the table tells the
  // listing's rows and fields apart, so each entry stays one row of nine fields
  outcome json = api32("list " + in_quotes(archive("controls.zip")) + " --json");
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find(R"({"name": "tab\there.t\tx\r\nt", "type": "T\tX\r\nT File", )"), std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find(R"("size": 1, "ratio": 1, "compressed_size": 1, "attributes": "", )"
                          R"("folder": "dir\r\n\\", "fullname": "dir\r\n\\tab\there.t\tx\r\nt"})"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find(R"({"name": "after.txt", )"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find(R"("size": 2, )"), std::string::npos) << json.out;
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

// Extracting with the listing: one line per entry not written, with its reason; only what was written is
// counted; any entry not written fails the command.
TEST_F(ApiCommand, EntriesNotExtractedAreNamedCountedOutAndFailTheCommand) {
  outcome bomb = api32("list " + in_quotes(archive("overlap-bomb.zip")) + " --extract-to " + in_quotes(work / "b"));
  EXPECT_EQ(bomb.status, 1) << bomb.err;
  EXPECT_NE(bomb.err.find("not extracted: bomb/07.bin: its data overlap another entry's (a zip bomb)\n"),
            std::string::npos)
      << bomb.err;
  EXPECT_EQ(std::count(bomb.err.begin(), bomb.err.end(), '\n'), 21) << bomb.err;
  EXPECT_NE(bomb.err.find("1 files extracted below " + (work / "b")), std::string::npos) << bomb.err;
  EXPECT_EQ(api32::testing::tree(work / "b"), std::vector<std::string>{"alone.txt"});

  outcome whole = api32("list " + in_quotes(archive("swap-race.zip")) + " --extract-to " + in_quotes(work / "w"));
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_NE(whole.err.find("3 files extracted below "), std::string::npos) << whole.err;
}
