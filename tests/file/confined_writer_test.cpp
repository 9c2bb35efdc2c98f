// The confined writer, with components resolved by openat2 and by the forced openat walk: links planted
// below the base under every spelling, links and hard links at the final name, a folder swapped for a link
// while a file is written, the output limit, names that would climb out, and moving a file in without
// replacing one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "api32/win32/files_confined.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using namespace api32::testing;
namespace fs = std::filesystem;

namespace {

using parts = std::vector<std::string>;

// Runs each test once with openat2 (where the kernel has it) and once with the forced descriptor walk.
class ConfinedWriter : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override {
    if (GetParam()) forced_ = std::make_unique<w::scoped_descriptor_walk>();
    fs::create_directories(dir / "base");
    fs::create_directories(dir / "outside");
    int error = 0;
    base_ = w::confined_folder::open(dir / "base", false, error);
    ASSERT_TRUE(base_) << error;
  }
  void TearDown() override { w::set_confined_write_hook(nullptr); }

  // Writes `content` to `name` below the base and commits: the outcome of the first step that fails.
  w::confined_outcome put(const parts& name, const std::string& content,
                          w::existing_target existing = w::existing_target::replace) {
    std::unique_ptr<w::confined_file> file;
    if (auto started = base_->create_file(name, existing, 0666, file); !started) return started;
    if (auto written = file->write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()); !written)
      return written;
    return file->commit();
  }

  temp_dir dir;
  std::unique_ptr<w::scoped_descriptor_walk> forced_;
  std::unique_ptr<w::confined_folder> base_;
};

TEST_P(ConfinedWriter, ResolvesComponentsTheWayItWasAskedTo) {
  if (GetParam()) {
    EXPECT_FALSE(w::confined_uses_openat2());
  } else if (!w::confined_uses_openat2()) {
    GTEST_SKIP() << "this kernel has no openat2: only the descriptor walk runs here";
  }
}

TEST_P(ConfinedWriter, ALinkBelowTheBaseIsRefusedUnderEverySpellingOfItsName) {
  fs::create_directory_symlink(dir / "outside", dir / "base/Addon");
  for (const parts& name : {parts{"Addon", "x.txt"}, parts{"addon", "y.txt"}, parts{"ADDON", "sub", "z.txt"}}) {
    w::confined_outcome outcome = put(name, "data");
    EXPECT_EQ(outcome.result, w::confined_result::link_in_the_way) << name[0];
    EXPECT_EQ(outcome.detail, "Addon") << name[0];
    EXPECT_EQ(base_->make_folder(name).result, w::confined_result::link_in_the_way) << name[0];
  }
  EXPECT_FALSE(base_->open_file({"addon", "anything"}));
  EXPECT_TRUE(tree(dir / "outside").empty());
  EXPECT_EQ(tree(dir / "base"), parts{"Addon -> " + (dir / "outside")});
}

TEST_P(ConfinedWriter, ExistingNamesAreMatchedWithoutRegardToCaseAndNewOnesKeptAsWritten) {
  fs::create_directories(dir / "base/Data/Maps");
  write_file(dir / "base/Data/Readme.TXT", "old");
  ASSERT_TRUE(put({"data", "maps", "NEW", "a.txt"}, "a"));
  ASSERT_TRUE(put({"DATA", "readme.txt"}, "new"));
  ASSERT_TRUE(put({"data", "new", "b.txt"}, "b"));  // a folder made in this run is found again
  EXPECT_EQ(tree(dir / "base"), (parts{"Data", "Data/Maps", "Data/Maps/NEW", "Data/Maps/NEW/a.txt", "Data/Readme.TXT",
                                       "Data/new", "Data/new/b.txt"}));
  EXPECT_EQ(read_file(dir / "base/Data/Readme.TXT"), "new");
  auto opened = base_->open_file({"DATA", "README.txt"});
  ASSERT_TRUE(opened);
  char buffer[8] = {};
  EXPECT_EQ(::read(opened.get(), buffer, sizeof buffer), 3);
}

TEST_P(ConfinedWriter, LinksAtTheFinalNameAreReplacedNeverWrittenThrough) {
  write_file(dir / "outside/secret", "keep");
  fs::create_symlink(dir / "outside/secret", dir / "base/soft.txt");
  fs::create_hard_link(dir / "outside/secret", dir / "base/hard.txt");
  fs::create_symlink(dir / "outside/missing", dir / "base/dangling.txt");
  for (const char* name : {"soft.txt", "hard.txt", "dangling.txt"}) {
    ASSERT_TRUE(put({name}, std::string("new ") + name)) << name;
    EXPECT_FALSE(fs::is_symlink(dir / ("base/" + std::string(name)))) << name;
    EXPECT_EQ(read_file(dir / ("base/" + std::string(name))), std::string("new ") + name);
  }
  EXPECT_EQ(read_file(dir / "outside/secret"), "keep");
  EXPECT_EQ(tree(dir / "outside"), parts{"secret"});
}

TEST_P(ConfinedWriter, AFolderSwappedForALinkWhileAFileIsWrittenReceivesNothing) {
  fs::create_directories(dir / "outside/elsewhere");
  bool swapped = false;
  w::set_confined_write_hook([&](const std::string& shown, std::uint64_t) {
    if (swapped || shown != "Addon/big.bin") return;
    swapped = true;
    api32::testing::swap_folder_for_link(dir / "base/Addon", dir / "outside/moved", dir / "outside/elsewhere");
  });
  std::unique_ptr<w::confined_file> file;
  ASSERT_TRUE(base_->create_file({"Addon", "big.bin"}, w::existing_target::replace, 0666, file));
  std::vector<std::uint8_t> block(1 << 16, 'x');
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(file->write(block.data(), block.size()));
  ASSERT_TRUE(swapped);
  w::confined_outcome committed = file->commit();
  EXPECT_EQ(committed.result, w::confined_result::link_in_the_way);
  EXPECT_EQ(committed.detail, "Addon/big.bin");
  // later entries meet the link and are refused too
  EXPECT_EQ(put({"addon", "later.txt"}, "x").result, w::confined_result::link_in_the_way);
  EXPECT_TRUE(tree(dir / "outside/elsewhere").empty());
  EXPECT_TRUE(tree(dir / "outside/moved").empty()) << "the temporary went with the folder's descriptor";
}

TEST_P(ConfinedWriter, AFileAbandonedMidWayLeavesNoTemporary) {
  {
    std::unique_ptr<w::confined_file> file;
    ASSERT_TRUE(base_->create_file({"sub", "a.txt"}, w::existing_target::replace, 0666, file));
    ASSERT_TRUE(file->write(reinterpret_cast<const std::uint8_t*>("abc"), 3));
    auto listed = tree(dir / "base/sub");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(w::is_confined_temporary(listed[0])) << listed[0];
  }
  EXPECT_EQ(tree(dir / "base"), parts{"sub"});
}

TEST_P(ConfinedWriter, TheOutputLimitStopsTheWriteThatWouldPassIt) {
  base_->set_output_limit(10);
  ASSERT_TRUE(put({"a.txt"}, "123456"));
  EXPECT_EQ(put({"b.txt"}, "12345").result, w::confined_result::over_budget);
  std::unique_ptr<w::confined_file> file;
  ASSERT_TRUE(base_->create_file({"c.bin"}, w::existing_target::replace, 0666, file));
  EXPECT_EQ(file->extend_to(1ull << 40).result, w::confined_result::over_budget) << "a hole is charged too";
  file.reset();
  EXPECT_EQ(base_->bytes_written(), 6u);
  EXPECT_EQ(tree(dir / "base"), parts{"a.txt"});
  ASSERT_TRUE(base_->available_bytes());
  EXPECT_GT(*base_->available_bytes(), 0u);
}

TEST_P(ConfinedWriter, ExistingTargetsAreKeptOrReplacedOnlyWhenFree) {
  write_file(dir / "base/kept.txt", "old");
  EXPECT_EQ(put({"kept.txt"}, "new", w::existing_target::keep).result, w::confined_result::exists);
  write_file(dir / "base/locked.txt", "in use");
  int holder = ::open((dir / "base/locked.txt").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_EQ(put({"locked.txt"}, "new", w::existing_target::replace_if_free).result, w::confined_result::busy);
  ::close(holder);
  ::chmod((dir / "base/kept.txt").c_str(), 0640);
  ASSERT_TRUE(put({"kept.txt"}, "new", w::existing_target::replace_if_free));
  EXPECT_EQ(fs::status(dir / "base/kept.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(read_file(dir / "base/locked.txt"), "in use");
  EXPECT_EQ(put({"kept.txt", "below"}, "x").result, w::confined_result::failed) << "a file is no folder";
  fs::create_directory(dir / "base/folder");
  EXPECT_EQ(put({"folder"}, "x").error, EISDIR);
  EXPECT_EQ(tree(dir / "base"), (parts{"folder", "kept.txt", "locked.txt"}));
}

TEST_P(ConfinedWriter, NamesThatWouldClimbOutAreRefused) {
  for (const parts& name :
       {parts{".."}, parts{"a", "..", "b"}, parts{""}, parts{"."}, parts{"a/b"}, parts{std::string("a\0b", 3)}}) {
    EXPECT_EQ(put(name, "x").result, w::confined_result::unsafe_name) << name.size();
    EXPECT_EQ(base_->make_folder(name).result, w::confined_result::unsafe_name);
  }
  EXPECT_TRUE(tree(dir / "base").empty());
}

TEST_P(ConfinedWriter, MovingInNeverReplacesAFile) {
  write_file(dir / "base/pack.zip", "first");
  write_file(dir / "base/.partial", "second");
  w::confined_outcome outcome;
  EXPECT_EQ(base_->move_in_without_replacing(".partial", "pack.zip", outcome), "pack (1).zip");
  EXPECT_EQ(read_file(dir / "base/pack.zip"), "first");
  EXPECT_EQ(read_file(dir / "base/pack (1).zip"), "second");
  EXPECT_FALSE(base_->move_in_without_replacing("missing", "x.zip", outcome));
  EXPECT_EQ(outcome.error, ENOENT);
  EXPECT_FALSE(base_->move_in_without_replacing("pack.zip", "../x.zip", outcome));
  EXPECT_EQ(outcome.result, w::confined_result::unsafe_name);
}

INSTANTIATE_TEST_SUITE_P(Resolving, ConfinedWriter, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DescriptorWalk" : "Openat2"; });

TEST(ConfinedComponents, SplitRelativeNamesAndRefuseClimbingOnes) {
  struct {
    const char* name;
    std::optional<parts> expected;
  } cases[] = {
      {"a/b\\c.txt", parts{"a", "b", "c.txt"}},
      {"./a//b/", parts{"a", "b"}},
      {"a/../b", std::nullopt},
      {"a/.../b", std::nullopt},
      {"a/.. /b", std::nullopt},
      {"/etc/passwd", std::nullopt},
      {"\\x", std::nullopt},
      {"C:x", std::nullopt},
      {"..", std::nullopt},
      {"...hidden", parts{"...hidden"}},
  };
  for (const auto& c : cases) EXPECT_EQ(w::confined_components(c.name), c.expected) << c.name;
}

}  // namespace
