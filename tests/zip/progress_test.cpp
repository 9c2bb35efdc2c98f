// Progress of long archive work as the host's archive_progress listener receives it: totals known from the
// start, counts that only grow and end at the totals, reports no closer than the interval, none when no
// listener is installed, and a listener that throws does not stop the work. Also the verification of an
// entry without writing it (what the command's `test` reads with).
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <vector>

#include "api32/host/host_services.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "zip_fixtures.hpp"

using api32::host::progress_report;

namespace {

struct timed_report {
  progress_report report;
  std::chrono::steady_clock::time_point at;
};

class ZipProgress : public ziptest::zip_test {
protected:
  void SetUp() override {
    zip_test::SetUp();
    // 600 entries of 10,000 bytes, written by Python's zipfile, stored so that the bytes are the sizes
    many = out / "many.zip";
    ASSERT_EQ(
        api32::testing::run(std::string(api32::testing::python()) +
                            " -c 'import sys, zipfile\n"
                            "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                            "    for i in range(600): z.writestr(\"d%d/f%d.bin\" % (i % 7, i), bytes([i % 251]) * "
                            "10000)' '" +
                            many + "'"),
        0);
  }
  void TearDown() override {
    api32::host::globals().archive_progress = nullptr;
    zip_test::TearDown();
  }
  void listen() {
    api32::host::globals().archive_progress = [this](const progress_report& r) {
      reports.push_back({r, std::chrono::steady_clock::now()});
    };
  }
  std::int32_t extract_all() {
    api32::datastore table(api32::d_zipfiles());
    zl.of_cudwdirectory(ziptest::windows(many), table, out.windows("base") + "\\", true);
    return table.rowcount();
  }

  std::string many;
  std::vector<timed_report> reports;
};

TEST_F(ZipProgress, ExtractionReportsTotalsGrowingCountsAndTheEndAtMostFiveTimesASecond) {
  listen();
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(extract_all(), 600);
  auto elapsed = std::chrono::steady_clock::now() - started;
  ASSERT_GE(reports.size(), 2u);
  const auto& first = reports.front().report;
  EXPECT_EQ(first.what, progress_report::kind::extracting);
  EXPECT_EQ(first.archive, ziptest::windows(many));
  EXPECT_EQ(first.entries_done, 0u);
  EXPECT_EQ(first.bytes_done, 0u);
  EXPECT_EQ(first.entries_total, 600u);
  EXPECT_EQ(first.bytes_total, 6'000'000u);
  const auto& last = reports.back().report;
  EXPECT_TRUE(last.finished);
  EXPECT_EQ(last.entries_done, 600u);
  EXPECT_EQ(last.bytes_done, 6'000'000u);
  for (std::size_t i = 1; i < reports.size(); ++i) {
    EXPECT_GE(reports[i].report.entries_done, reports[i - 1].report.entries_done);
    EXPECT_GE(reports[i].report.bytes_done, reports[i - 1].report.bytes_done);
    EXPECT_EQ(reports[i].report.finished, i + 1 == reports.size());
    // only the last report may follow the one before sooner than the interval; the listener stamps a report
    // when it runs, a little after the library read its clock, so a busy machine may shift a stamp a little
    if (i + 1 < reports.size()) {
      EXPECT_GE(reports[i].at - reports[i - 1].at + std::chrono::milliseconds(50), api32::host::progress_interval);
    }
  }
  EXPECT_LE(reports.size(), static_cast<std::size_t>(elapsed / api32::host::progress_interval) + 2);
}

TEST_F(ZipProgress, NoListenerNoListingReportsAndAThrowingListenerDoesNotStopTheWork) {
  listen();
  api32::datastore table(api32::d_zipfiles());
  zl.of_cudwdirectory(ziptest::windows(many), table, "", false);  // listing only: nothing to report
  EXPECT_TRUE(reports.empty());

  api32::host::globals().archive_progress = [](const progress_report&) { throw std::runtime_error("host bug"); };
  EXPECT_EQ(extract_all(), 600);
  EXPECT_EQ(api32::testing::tree(out / "base").size(), 607u);  // 7 folders, 600 files
}

TEST_F(ZipProgress, VerifyingAnEntryReadsItWholeAndWritesNothing) {
  struct {
    const char* archive;
    const char* entry;
    api32::zipentry::entry_problem expected;
  } cases[] = {
      {"basic.zip", "big.bin", api32::zipentry::entry_problem::none},
      {"bad-crc.zip", "crc.bin", api32::zipentry::entry_problem::crc_mismatch},
      {"size-lie-short.zip", "short.bin", api32::zipentry::entry_problem::size_mismatch},
      {"corrupt-deflate.zip", nullptr, api32::zipentry::entry_problem::damaged_data},
      {"encrypted-flag.zip", "secret.txt", api32::zipentry::entry_problem::encrypted},
  };
  const auto before = api32::testing::tree(out.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archive);
    ziptest::open_archive archive(zl, c.archive);
    ASSERT_NE(archive.handle(), 0u);
    if (c.entry)
      ASSERT_EQ(zl.of_unzlocatefile(archive, c.entry), 0);
    else
      ASSERT_EQ(zl.of_unzgotofirstfile(archive), 0);
    api32::host::progress_meter meter(progress_report::kind::testing, c.archive, 1, 0);
    EXPECT_EQ(api32::zipentry::verify_current_entry(archive, &meter), c.expected);
  }
  EXPECT_EQ(api32::testing::tree(out.path()), before);
}

}  // namespace
