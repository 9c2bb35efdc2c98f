// The reader against Python's zipfile on archives that other tools and other projects' test suites made:
// Go's and Python's test data (tests/fixtures/zip/), Info-ZIP zip's, Python's own, and the generated prefixes,
// comments and directories. Every entry must read byte for byte as Python reads it, or, where Python cannot
// read the archive, as it reads an archive with the same entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "zip_fixtures.hpp"

using api32::blob;
using api32::uo_nv_ziplib;
namespace fs = std::filesystem;

namespace {

class ZipPeers : public ziptest::zip_test {};

struct peer_case {
  const char* archive;
  const char* python_reads = nullptr;  // the archive Python reads instead, when it cannot read this one
};

std::ostream& operator<<(std::ostream& os, const peer_case& c) { return os << c.archive; }

const peer_case cases[] = {
    // Go's test data
    {"go/zip64.zip"},  // Zip64 end record, a data descriptor with Zip64 sizes
    {"go/zip64-2.zip"},
    {"go/test.zip"},
    {"go/test-prefix.zip"},                   // behind a prefix
    {"go/test-baddirsz.zip", "go/test.zip"},  // wrong directory size: read as Info-ZIP unzip and Go read it
    {"go/test-trailing-junk.zip"},            // data after the archive
    {"go/go-with-datadesc-sig.zip"},          // data descriptors with their signature
    {"go/go-no-datadesc-sig.zip"},            // and without
    {"go/dd.zip"},
    {"go/crc32-not-streamed.zip"},
    {"go/unix.zip"},
    {"go/winxp.zip"},
    {"go/utf8-7zip.zip"},
    {"go/utf8-winrar.zip"},
    {"go/time-winzip.zip"},
    {"go/time-osx.zip"},
    {"go/symlink.zip"},
    // Python's test data
    {"python/exe_with_z64"},  // a Zip64 archive behind a shell script
    {"python/exe_with_zip"},
    {"python/zip_cp437_header.zip"},
    {"python/zipdir.zip"},
    // made by Info-ZIP zip and Python's zipfile at start-up
    {"infozip-tree.zip"},
    {"infozip-zip64.zip"},
    {"basic.zip"},
    {"utf8-flag.zip"},
    {"method-bzip2.zip"},
    {"method-lzma.zip"},
    // made byte by byte (make_fixtures.py)
    {"zip64-fields.zip"},
    {"prefix-plain.zip"},
    {"prefix-zip64.zip"},
    {"prefix-adjusted.zip"},
    {"comment-longest.zip"},
    {"comment-signatures.zip", "directory-reference.zip"},  // Python takes a signature in the comment for the record
    {"comment-fake-end.zip"},  // a comment ending in an empty archive's end record: empty for every reader
    {"directory-size-wrong.zip", "directory-reference.zip"},
};

// What Python's zipfile reads of every entry that is no folder, in directory order.
std::vector<std::string> python_entries(const std::string& native_archive) {
  api32::testing::temp_dir out;
  std::string script = api32::testing::source_dir() + "/tests/zip/read_with_python.py";
  int rc = api32::testing::run(std::string(api32::testing::python()) + " '" + script + "' '" + native_archive + "' '" +
                               out.path() + "'");
  EXPECT_EQ(rc, 0) << "Python's zipfile cannot read " << native_archive;
  std::vector<std::string> entries;
  if (rc != 0) return entries;
  int count = std::stoi(api32::testing::read_file(out / "count"));
  for (int n = 0; n < count; ++n) entries.push_back(api32::testing::read_file(out / std::to_string(n)));
  return entries;
}

// The size (fourth field) of a listing row.
std::uint32_t declared_size(const std::string& row) {
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) start = row.find('\t', start) + 1;
  return static_cast<std::uint32_t>(std::stoul(row.substr(start, row.find('\t', start) - start)));
}

// Reads every entry of the case's archive through the class and compares it with Python's reading.
void reads_as_python_reads(uo_nv_ziplib& zl, const peer_case& c) {
  std::vector<std::string> expected =
      python_entries(ziptest::native_fixture(c.python_reads ? c.python_reads : c.archive));
  std::uint32_t a = zl.of_unzopen(ziptest::windows(ziptest::native_fixture(c.archive)));
  ASSERT_NE(a, 0u);
  struct closer {
    uo_nv_ziplib& zl;
    std::uint32_t handle;
    ~closer() { zl.of_unzclose(handle); }
  } close_at_end{zl, a};
  std::vector<std::string> read;
  for (std::int16_t rc = zl.of_unzgotofirstfile(a); rc == 0; rc = zl.of_unzgotonextfile(a)) {
    std::string row = zl.of_unzgetcurrentfileinfo(a);
    if (row.empty()) continue;  // a folder
    ASSERT_EQ(zl.of_unzopencurrentfile(a), 0) << row;
    blob data;
    EXPECT_EQ(zl.of_unzreadcurrentfile(a, data, declared_size(row)), 0) << row;
    EXPECT_EQ(zl.of_unzclosecurrentfile(a), 0) << row;
    read.emplace_back(data.begin(), data.end());
  }
  ASSERT_EQ(read.size(), expected.size());
  for (std::size_t n = 0; n < read.size(); ++n) EXPECT_TRUE(ziptest::same_bytes(read[n], expected[n])) << "entry " << n;
}

}  // namespace

TEST_F(ZipPeers, EveryEntryReadsAsPythonReadsIt) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c);
    reads_as_python_reads(zl, c);
  }
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ZipPeers, ArchivesWhoseDirectoryCannotBeFoundOrReadFailAsPythonFails) {
  const api32::message open_box{"Ziplib Error in of_unzopen", "The zip file is invalid or can't be found!",
                                api32::msg_icon::stop};
  const api32::message listing_box{"Ziplib Error in of_dwdirectory", "Unable to open the zip archive file!",
                                   api32::msg_icon::stop};
  // no end record at all; a directory neither where the end record says nor at its offset; a Zip64 locator
  // without its end record; a directory whose second record is damaged (never listed as the first alone)
  for (const char* name :
       {"go/readme.notzip", "directory-lost.zip", "zip64-record-missing.zip", "directory-record-damaged.zip"}) {
    SCOPED_TRACE(name);
    std::string native = ziptest::native_fixture(name);
    api32::testing::temp_dir out;
    EXPECT_NE(api32::testing::run(std::string(api32::testing::python()) + " '" + api32::testing::source_dir() +
                                  "/tests/zip/read_with_python.py' '" + native + "' '" + out.path() + "' 2>/dev/null"),
              0);
    boxes.clear();
    api32::datastore rows(api32::d_zipfiles());
    EXPECT_EQ(zl.of_cudwdirectory(ziptest::windows(native), rows, out.windows() + "\\", true), "");
    EXPECT_EQ(rows.rowcount(), 0);
    EXPECT_EQ(boxes.boxes(), (std::vector<api32::message>{open_box, listing_box}));
    EXPECT_TRUE(fs::is_empty(out.path()));
  }
}

TEST_F(ZipPeers, AnEntryCountWrappedPastSixteenBitsReadsEveryEntryAsPythonDoes) {
  // 65,540 entries without Zip64 end records: the end record's count says 4, as some writers leave it
  api32::testing::temp_dir dir;
  const std::string zip_dir = api32::testing::source_dir() + "/tests/zip";
  const std::string native = dir / "wrapped.zip";
  ASSERT_EQ(api32::testing::run(std::string(api32::testing::python()) +
                                " -c 'import sys\n"
                                "sys.path.insert(0, sys.argv[1])\n"
                                "from make_fixtures import raw_zip\n"
                                "n = 65540\n"
                                "raw_zip(sys.argv[2], [{\"name\": b\"f%05d\" % i, \"data\": b\"entry %d\" % i, "
                                "\"method\": 0} for i in range(n)], eocd_count=n & 0xFFFF)' '" +
                                zip_dir + "' '" + native + "'"),
            0);
  EXPECT_EQ(api32::testing::run_output(std::string(api32::testing::python()) +
                                       " -c 'import sys, zipfile\n"
                                       "z = zipfile.ZipFile(sys.argv[1])\n"
                                       "print(len(z.infolist()), z.read(\"f65539\").decode())' '" +
                                       native + "'"),
            "65540 entry 65539\n");

  std::uint32_t a = zl.of_unzopen(ziptest::windows(native));
  ASSERT_NE(a, 0u);
  std::uint32_t entries = 0, comment = 0;
  EXPECT_EQ(zl.of_unzgetglobalinfo(a, entries, comment), 0);
  EXPECT_EQ(entries, 65540u);
  std::uint32_t walked = 0;
  for (std::int16_t rc = zl.of_unzgotofirstfile(a); rc == 0; rc = zl.of_unzgotonextfile(a)) ++walked;
  EXPECT_EQ(walked, 65540u);
  blob data;
  EXPECT_TRUE(zl.of_extractblob(a, "f65539", data));
  EXPECT_EQ(std::string(data.begin(), data.end()), "entry 65539");
  zl.of_unzclose(a);
  EXPECT_TRUE(boxes.boxes().empty());
}
