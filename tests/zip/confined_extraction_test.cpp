// Extraction against a hostile archive and a hostile local user at once: links planted in the target under
// every spelling of their name, links and hard links at the final name, a folder swapped for a link while a
// large entry is written, the overlapping-entry bomb, the host's output limit. Each time: nothing outside the
// target, no temporary left, and every entry not written reported to the host with its name and reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "api32/host/host_services.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "zip_fixtures.hpp"

using api32::datastore;
using api32::testing::read_file;
using api32::testing::tree;
using api32::testing::write_file;
namespace fs = std::filesystem;
namespace w = api32::win32;

namespace {

// The host's report while the object lives: entry name -> reason.
class report_recorder {
public:
  report_recorder() {
    api32::host::globals().entry_not_extracted = [this](const api32::host::skipped_entry& e) {
      archives.push_back(e.archive);
      reasons[e.entry] = e.reason;
    };
  }
  ~report_recorder() { api32::host::globals().entry_not_extracted = nullptr; }
  report_recorder(const report_recorder&) = delete;
  report_recorder& operator=(const report_recorder&) = delete;
  std::vector<std::string> archives;
  std::map<std::string, std::string> reasons;
};

// Runs each test with openat2 (where the kernel has it) and with the forced descriptor walk.
class ZipConfined : public ziptest::zip_test, public ::testing::WithParamInterface<bool> {
protected:
  void SetUp() override {
    zip_test::SetUp();
    if (GetParam()) forced_ = std::make_unique<w::scoped_descriptor_walk>();
    fs::create_directories(out / "base");
    fs::create_directories(out / "outside");
  }
  void TearDown() override {
    w::set_confined_write_hook(nullptr);
    api32::host::globals().extraction_limit = 0;
    zip_test::TearDown();
  }
  // The extracting walk over a fixture into base/: its table's row count.
  std::int32_t extract_all(const std::string& fixture) {
    datastore table(api32::d_zipfiles());
    zl.of_cudwdirectory(ziptest::archive(fixture), table, out.windows("base") + "\\", true);
    return table.rowcount();
  }
  // No temporary of the writer anywhere below the test's folder.
  void expect_no_temporary() {
    for (const auto& path : tree(out.path()))
      EXPECT_FALSE(w::is_confined_temporary(fs::path(path).filename().string())) << path;
  }

  std::unique_ptr<w::scoped_descriptor_walk> forced_;
  report_recorder report;
};

TEST_P(ZipConfined, ALinkPlantedInTheTargetIsMetUnderEverySpellingAndReported) {
  write_file(out / "outside/secret", "keep");
  fs::create_directory_symlink(out / "outside", out / "base/Addon");
  fs::create_symlink(out / "outside/secret", out / "base/soft.txt");
  fs::create_hard_link(out / "outside/secret", out / "base/hard.txt");
  EXPECT_EQ(extract_all("planted-link.zip"), 6);

  EXPECT_EQ(tree(out / "outside"), std::vector<std::string>{"secret"});
  EXPECT_EQ(read_file(out / "outside/secret"), "keep");
  EXPECT_EQ(tree(out / "base"),
            (std::vector<std::string>{"Addon -> " + (out / "outside"), "hard.txt", "ok.txt", "soft.txt"}));
  // the links at the final names were replaced by the entries, not written through
  EXPECT_EQ(read_file(out / "base/soft.txt"), "from the archive: soft.txt\n");
  EXPECT_EQ(read_file(out / "base/hard.txt"), "from the archive: hard.txt\n");
  ASSERT_EQ(report.reasons.size(), 3u);
  for (const char* entry : {"Addon/x.txt", "addon/y.txt", "ADDON/sub/z.txt"})
    EXPECT_EQ(report.reasons[entry], "a symbolic link is in the way (Addon)") << entry;
  EXPECT_EQ(report.archives.front(), ziptest::archive("planted-link.zip"));

  // one entry by name says the same
  ziptest::open_archive a(zl, "planted-link.zip");
  EXPECT_FALSE(zl.of_extractfile(a, "addon/y.txt", out.windows("base\\addon\\y.txt"), out.windows("base\\addon\\")));
  EXPECT_EQ(api32::zipentry::extraction_failure(a), "a symbolic link is in the way (Addon)");
  EXPECT_TRUE(zl.of_extractfile(a, "ok.txt", out.windows("base\\ok.txt"), out.windows("base\\")));
  EXPECT_EQ(api32::zipentry::extraction_failure(a), "");
  expect_no_temporary();
}

TEST_P(ZipConfined, AFolderSwappedForALinkMidEntryReceivesNothingAndKeepsNoTemporary) {
  fs::create_directories(out / "outside/elsewhere");
  bool swapped = false;
  w::set_confined_write_hook([&](const std::string& shown, std::uint64_t) {
    if (swapped || shown != "Addon/big.bin") return;
    swapped = true;
    api32::testing::swap_folder_for_link(out / "base/Addon", out / "outside/moved", out / "outside/elsewhere");
  });
  EXPECT_EQ(extract_all("swap-race.zip"), 3);
  ASSERT_TRUE(swapped);
  EXPECT_TRUE(tree(out / "outside/elsewhere").empty());
  EXPECT_TRUE(tree(out / "outside/moved").empty()) << "neither the entry nor its temporary";
  EXPECT_EQ(read_file(out / "base/top.txt"), "top\n");
  EXPECT_EQ(report.reasons,
            (std::map<std::string, std::string>{{"Addon/big.bin", "a symbolic link is in the way (Addon/big.bin)"},
                                                {"Addon/later.txt", "a symbolic link is in the way (Addon)"}}));
  expect_no_temporary();
}

TEST_P(ZipConfined, OverlapBombIsListedButNoneOfItsSharingEntriesIsWritten) {
  EXPECT_EQ(extract_all("overlap-bomb.zip"), 21);
  EXPECT_EQ(tree(out / "base"), std::vector<std::string>{"alone.txt"});
  EXPECT_EQ(report.reasons.size(), 20u);
  for (const auto& [entry, reason] : report.reasons) {
    EXPECT_EQ(entry.substr(0, 5), "bomb/");
    EXPECT_EQ(reason, "its data overlap another entry's (a zip bomb)") << entry;
  }
  expect_no_temporary();
}

TEST_P(ZipConfined, AnArchiveOverTheHostsLimitWritesNothing) {
  api32::host::globals().extraction_limit = 100000;  // swap-race.zip declares 1 MiB and a few bytes
  EXPECT_EQ(extract_all("swap-race.zip"), 3);
  EXPECT_TRUE(tree(out / "base").empty());
  ASSERT_EQ(report.reasons.size(), 3u);
  EXPECT_EQ(report.reasons["top.txt"], "the archive would write 1048598 bytes, over the host's limit of 100000 bytes");
  // under the limit everything is written
  api32::host::globals().extraction_limit = 2 << 20;
  report.reasons.clear();
  EXPECT_EQ(extract_all("swap-race.zip"), 3);
  EXPECT_TRUE(report.reasons.empty());
  EXPECT_EQ(fs::file_size(out / "base/Addon/big.bin"), 1u << 20);
}

TEST_P(ZipConfined, UnsafeAndDamagedEntriesAreReportedByName) {
  EXPECT_EQ(extract_all("slip-dotdot.zip"), 4);
  EXPECT_EQ(tree(out / "base"), std::vector<std::string>{"ok.txt"});
  EXPECT_EQ(report.reasons.size(), 3u);
  for (const auto& [entry, reason] : report.reasons)
    EXPECT_EQ(reason, "unsafe name (absolute, with a drive or \"..\"), not extracted") << entry;
  report.reasons.clear();
  EXPECT_EQ(extract_all("bad-crc.zip"), 1);
  EXPECT_EQ(report.reasons, (std::map<std::string, std::string>{{"crc.bin", "CRC mismatch"}}));
  expect_no_temporary();
}

INSTANTIATE_TEST_SUITE_P(Resolving, ZipConfined, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DescriptorWalk" : "Openat2"; });

}  // namespace
