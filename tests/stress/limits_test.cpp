// limits_test.cpp - the sizes the zip library is known to handle: an archive beyond 4 GiB with an entry of
// 4.5 GiB and one whose header lies past 4 GiB (Zip64), 70,000 entries (a Zip64 count), and a 128 MiB entry
// extracted in constant memory. The archives come from Python's zipfile (make_large_zips.py).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "api32/runtime/datastore.hpp"
#include "api32/runtime/registry.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "stress_support.hpp"
#include "support/test_support.hpp"

namespace {

using api32::uo_nv_ziplib;
using api32::testing::temp_dir;

// KiB of a /proc/self/status field (VmRSS, VmHWM).
long status_kib(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = std::string(field) + ":";
  for (std::string line; std::getline(status, line);)
    if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
  return -1;
}

// Starts a new peak for VmHWM; false where the kernel does not allow it.
bool reset_peak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

class ZipLimits : public ::testing::Test {
protected:
  static void SetUpTestSuite() { archives = new temp_dir; }
  static void TearDownTestSuite() {
    delete archives;
    archives = nullptr;
  }
  void SetUp() override {
    api32::registry::reset();
    api32::registry::use_content_types(false);
  }
  // The archive, made on first use (ctest runs each test in a process of its own).
  static std::string archive(const std::string& name) {
    if (!api32::testing::exists(*archives / name)) {
      EXPECT_EQ(api32::testing::run(std::string(api32::testing::python()) + " '" + api32::testing::source_dir() +
                                    "/tests/stress/make_large_zips.py' '" + archives->path() + "' " + name),
                0);
    }
    return archives->windows(name);
  }

  static temp_dir* archives;
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
};
temp_dir* ZipLimits::archives = nullptr;

std::vector<std::string> lines_of(const std::string& listing) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < listing.size()) {
    std::size_t end = listing.find("\r\n", start);
    if (end == std::string::npos) end = listing.size();
    lines.push_back(listing.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string field(const std::string& row, int index) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) start = row.find('\t', start) + 1;
  return row.substr(start, row.find('\t', start) - start);
}

TEST_F(ZipLimits, ArchiveBeyondFourGiBListsAndStreamsItsLargeEntry) {
  std::uint32_t h = zl.of_unzopen(archive("beyond-4gib.zip"));
  ASSERT_NE(h, 0u);
  std::uint32_t entries = 0, comment = 0;
  EXPECT_EQ(zl.of_unzgetglobalinfo(h, entries, comment), 0);
  EXPECT_EQ(entries, 2u);

  // the 4.5 GiB entry opens and streams; a caller's length cuts it
  ASSERT_EQ(zl.of_unzlocatefile(h, "big.bin"), 0);
  ASSERT_EQ(zl.of_unzopencurrentfile(h), 0);
  api32::blob start;
  EXPECT_EQ(zl.of_unzreadcurrentfile(h, start, 1u << 20), uo_nv_ziplib::z_buf_error);
  EXPECT_EQ(start, api32::blob(1u << 20, 0));
  zl.of_unzclosecurrentfile(h);
  zl.of_unzclose(h);

  // the listing's size field is the record's 32-bit value: 4.5 GiB shows as its largest value
  auto rows = lines_of(zl.of_dwdirectory(archive("beyond-4gib.zip")));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(field(rows[0], 0), "big.bin");
  EXPECT_EQ(field(rows[0], 3), "4294967295");
  EXPECT_EQ(field(rows[1], 3), "21");
  EXPECT_TRUE(boxes.boxes().empty());
}

// The local header's offset comes from the Zip64 extra field.
TEST_F(ZipLimits, EntryStartingPastFourGiBReadsWhole) {
  std::uint32_t h = zl.of_unzopen(archive("beyond-4gib.zip"));
  ASSERT_NE(h, 0u);
  api32::blob tail;
  EXPECT_TRUE(zl.of_extractblob(h, "tail.txt", tail));
  EXPECT_EQ(std::string(tail.begin(), tail.end()), "after four gigabytes\n");
  zl.of_unzclose(h);
}

// Writes 4.5 GiB (half a minute): run with API32_SLOW_TESTS=1.
TEST_F(ZipLimits, EntryOfFourAndAHalfGiBExtractsWhole) {
  const char* slow = std::getenv("API32_SLOW_TESTS");
  if (!slow || std::string(slow) != "1") GTEST_SKIP() << "set API32_SLOW_TESTS=1 to run";
  temp_dir out;
  std::uint32_t h = zl.of_unzopen(archive("beyond-4gib.zip"));
  ASSERT_NE(h, 0u);
  EXPECT_TRUE(zl.of_extractfile(h, "big.bin", out.windows("big.bin"), out.windows() + "\\"));
  zl.of_unzclose(h);
  EXPECT_EQ(std::filesystem::file_size(out / "big.bin"), (4ull << 30) + (512ull << 20));
}

TEST_F(ZipLimits, SeventyThousandEntriesListInProportionToTheirRows) {
  std::uint32_t h = zl.of_unzopen(archive("many-entries.zip"));
  ASSERT_NE(h, 0u);
  std::uint32_t entries = 0, comment = 0;
  EXPECT_EQ(zl.of_unzgetglobalinfo(h, entries, comment), 0);
  EXPECT_EQ(entries, 70000u);
  api32::blob last;
  EXPECT_TRUE(zl.of_extractblob(h, "d69/f69999.txt", last));
  EXPECT_EQ(std::string(last.begin(), last.end()), "entry 69999\n");
  zl.of_unzclose(h);

  const bool peak = reset_peak();
  const long before = status_kib("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  api32::datastore table(api32::d_zipfiles());
  const std::string listing = zl.of_cudwdirectory(archive("many-entries.zip"), table, "", false);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(table.rowcount(), 70000);
  auto rows = lines_of(listing);
  ASSERT_EQ(rows.size(), 70000u);
  EXPECT_EQ(field(rows.back(), 8), "d69\\f69999.txt");
  if (peak) {
    // the listing text (about 90 bytes a row) and the table's rows; nothing per byte of data
    const long grown_mib = (status_kib("VmHWM") - before) / 1024;
#if defined(__SANITIZE_ADDRESS__)
    const long limit_mib = 192;  // the address sanitizer's red zones and quarantine come on top
#else
    const long limit_mib = 96;
#endif
    EXPECT_LT(grown_mib, limit_mib) << "MiB for 70,000 rows";
    std::printf("70,000 rows in %.2f s, peak memory %ld MiB above the start\n", seconds, grown_mib);
  }
}

TEST_F(ZipLimits, LargeEntryExtractsInConstantMemory) {
  if (!reset_peak()) GTEST_SKIP() << "peak RSS cannot be reset here";
  temp_dir out;
  std::uint32_t h = zl.of_unzopen(archive("large-entry.zip"));
  ASSERT_NE(h, 0u);
  const long before = status_kib("VmRSS");
  EXPECT_TRUE(zl.of_extractfile(h, "zeros.bin", out.windows("zeros.bin"), out.windows() + "\\"));
  const long grown_mib = (status_kib("VmHWM") - before) / 1024;
  zl.of_unzclose(h);
  EXPECT_EQ(std::filesystem::file_size(out / "zeros.bin"), 128u << 20);
  EXPECT_LT(grown_mib, 8) << "MiB to extract 128 MiB";
}

}  // namespace
