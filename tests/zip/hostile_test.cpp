// Hostile and damaged archives, all through one table: zip-slip names, symbolic links, size lies,
// truncation, bad CRCs, encryption, methods the reader does not decode. None may write outside the base
// folder, report a damaged entry as extracted, leave a partial file, or allocate what its data does not back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "api32/zip/ziplib_entry_problem.hpp"
#include "zip_fixtures.hpp"

using api32::blob;
using api32::datastore;
using api32::uo_nv_ziplib;
using api32::zipentry::entry_problem;
using ziptest::open_archive;
namespace fs = std::filesystem;

namespace {

class ZipHostile : public ziptest::zip_test {};

constexpr std::int16_t not_reached = 1;  // the step is not reached: the entry does not open

struct hostile_case {
  const char* archive;
  std::size_t rows;                             // listing rows (0: the archive does not open)
  std::set<std::string> extracted;              // what the extracting walk writes below the base folder
  const char* bad_entry = nullptr;              // an entry that must not extract
  std::int16_t open_rc = not_reached;           // of_unzopencurrentfile on it
  std::int16_t read_rc = not_reached;           // of_unzreadcurrentfile with its declared size
  std::int16_t close_rc = not_reached;          // of_unzclosecurrentfile after that
  entry_problem problem = entry_problem::none;  // the reason given for it after a failed extraction
};

std::ostream& operator<<(std::ostream& os, const hostile_case& c) { return os << c.archive; }

constexpr std::int16_t bad = uo_nv_ziplib::unz_badzipfile;
constexpr std::int16_t crc = uo_nv_ziplib::unz_crcerror;

const hostile_case cases[] = {
    // names that would leave the base folder
    {"slip-dotdot.zip", 4, {"ok.txt"}},
    {"slip-backslash.zip", 2, {"ok.txt"}},
    {"slip-absolute.zip", 3, {"rooted.txt"}},  // one leading separator is dropped: below the base
    {"slip-drive-letter.zip", 3, {"ok.txt"}},
    {"infozip-symlink.zip", 1, {"link"}},  // a plain file holding the link's text
    // sizes that the data does not back
    {"size-lie-4g.zip", 1, {}, "huge.bin", 0, bad, 0, entry_problem::size_mismatch},
    {"size-lie-zip64.zip", 1, {}, "huge64.bin", 0, bad, 0, entry_problem::size_mismatch},
    {"size-lie-short.zip", 1, {}, "short.bin", 0, bad, 0, entry_problem::size_mismatch},
    {"size-lie-long.zip", 1, {}, "long.bin", 0, 0, crc, entry_problem::crc_mismatch},  // cut at the declared size
    {"size-lie-stored.zip", 1, {}, "stored.bin", 0, uo_nv_ziplib::z_errno, 0, entry_problem::read_error},
    {"truncated-data.zip", 1, {}, "cut.bin", 0, uo_nv_ziplib::z_errno, 0, entry_problem::read_error},
    // damaged data
    {"bad-crc.zip", 1, {}, "crc.bin", 0, 0, crc, entry_problem::crc_mismatch},
    {"zip64-bad-crc.zip", 1, {}, "crc64.bin", 0, 0, crc, entry_problem::crc_mismatch},
    {"zip64-bad-offset.zip", 1, {}, "nowhere.bin", bad, not_reached, not_reached, entry_problem::damaged_header},
    {"corrupt-deflate.zip", 1, {}, "noise.bin", 0, uo_nv_ziplib::z_data_error, 0, entry_problem::damaged_data},
    {"bad-local-offset.zip", 1, {}, "far.bin", bad, not_reached, not_reached, entry_problem::damaged_header},
    // entries sharing their data with others (the overlapping zip bomb): listed, not read; the others read
    {"overlap-shared.zip", 3, {"alone.txt"}, "other.txt", bad, not_reached, not_reached, entry_problem::overlapping},
    {"overlap-quoted.zip", 3, {"alone.txt"}, "inner.txt", bad, not_reached, not_reached, entry_problem::overlapping},
    // entries that cannot be decoded faithfully
    {"encrypted-flag.zip", 1, {}, "secret.txt", bad, not_reached, not_reached, entry_problem::encrypted},
    {"infozip-encrypted.zip", 1, {}, "a.txt", bad, not_reached, not_reached, entry_problem::encrypted},
    {"method-unknown.zip", 1, {}, "m.bin", bad, not_reached, not_reached, entry_problem::unsupported_method},
    // damaged directories
    {"huge-count.zip", 1, {"one.txt"}},  // claims 65534 entries, holds one
    {"truncated.zip", 0, {}},
};

// Every file below `root`, relative to it, with "/" separators.
std::set<std::string> files_below(const fs::path& root) {
  std::set<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory()) found.insert(fs::relative(e.path(), root).generic_string());
  return found;
}

// The size (fourth field) of a listing row.
std::string size_field(const std::string& row) {
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) start = row.find('\t', start) + 1;
  return row.substr(start, row.find('\t', start) - start);
}

}  // namespace

TEST_F(ZipHostile, ExtractingWalkStaysBelowTheBaseAndSkipsDamagedEntries) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c);
    api32::testing::temp_dir work;
    datastore ds(api32::d_zipfiles());
    std::string listing = zl.of_cudwdirectory(ziptest::archive(c.archive), ds, work.windows("base") + "\\", true);
    EXPECT_EQ(ds.rowcount(), static_cast<std::int32_t>(c.rows));
    std::string plain = zl.of_dwdirectory(ziptest::archive(c.archive));
    EXPECT_EQ(plain.empty() ? 0 : std::count(plain.begin(), plain.end(), '\n') + 1,
              listing.empty() ? 0 : std::count(listing.begin(), listing.end(), '\n') + 1);
    std::set<std::string> expected;
    for (const auto& name : c.extracted) expected.insert("base/" + name);
    EXPECT_EQ(files_below(work.path()), expected);
  }
}

TEST_F(ZipHostile, SymbolicLinkEntriesBecomePlainFiles) {
  open_archive a(zl, "infozip-symlink.zip");
  EXPECT_TRUE(zl.of_extractfile(a, "link", out.windows("link"), out.windows() + "\\"));
  EXPECT_FALSE(fs::is_symlink(out / "link"));
  EXPECT_EQ(api32::testing::read_file(out / "link"), "/etc/passwd");
}

TEST_F(ZipHostile, DamagedEntriesReportTheirCodeAndLeaveNoFile) {
  for (const auto& c : cases) {
    if (!c.bad_entry) continue;
    SCOPED_TRACE(c);
    open_archive a(zl, c.archive);
    ASSERT_NE(a.handle(), 0u);
    ASSERT_EQ(zl.of_unzlocatefile(a, c.bad_entry), 0);
    // what opening would refuse is known before the entry is opened
    if (c.open_rc == bad) {
      EXPECT_EQ(api32::zipentry::current_entry_problem(a), c.problem) << "before opening";
    }
    EXPECT_EQ(zl.of_unzopencurrentfile(a), c.open_rc);
    if (c.open_rc == 0) {
      auto declared = static_cast<std::uint32_t>(std::stoul(size_field(zl.of_unzgetcurrentfileinfo(a))));
      blob data;
      EXPECT_EQ(zl.of_unzreadcurrentfile(a, data, declared), c.read_rc);
      EXPECT_LE(data.capacity(), 8u << 20) << "memory taken on the strength of the declared size";
      EXPECT_EQ(zl.of_unzclosecurrentfile(a), c.close_rc);
    }

    // a file that was there before is left as it was, and nothing else is left behind
    api32::testing::write_file(out / "target.bin", "previous");
    EXPECT_FALSE(zl.of_extractfile(a, c.bad_entry, out.windows("target.bin"), out.windows() + "\\"));
    EXPECT_EQ(api32::testing::read_file(out / "target.bin"), "previous");
    EXPECT_FALSE(zl.of_extractfile(a, c.bad_entry, out.windows("new\\fresh.bin"), out.windows("new") + "\\"));
    EXPECT_EQ(files_below(out.path()), (std::set<std::string>{"target.bin"}));
    fs::remove_all(out / "new");

    blob data;
    EXPECT_FALSE(zl.of_extractblob(a, c.bad_entry, data));
    EXPECT_LE(data.capacity(), 8u << 20);
    EXPECT_EQ(api32::zipentry::current_entry_problem(a), c.problem);
  }
  EXPECT_TRUE(boxes.boxes().empty());
}
