// zip_cycles_test.cpp - listing and extracting one archive a thousand times in one process: every archive
// handle, descriptor and byte of memory a cycle takes is given back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "api32/runtime/datastore.hpp"
#include "api32/runtime/registry.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "stress_support.hpp"
#include "support/test_support.hpp"

namespace {

using api32::testing::temp_dir;

constexpr std::size_t heap_slack = 64 * 1024;

// A small add-on archive made by Info-ZIP zip: a file at the top, a folder, and a larger file below it.
std::string make_archive(const temp_dir& dir) {
  std::filesystem::create_directories(dir / "src/Docs/Sub");
  api32::testing::write_file(dir / "src/addon.ini", "[addon]\r\nname=Sample\r\n");
  api32::testing::write_file(dir / "src/Docs/readme.txt", "Read me.\r\n");
  std::string data;
  for (int i = 0; i < 4000; ++i) data += std::to_string(i * 7919 % 10007) + ",";
  api32::testing::write_file(dir / "src/Docs/Sub/data.csv", data);
  EXPECT_EQ(api32::testing::run("cd '" + dir / "src" + "' && zip -q -X -r ../addon.zip addon.ini Docs"), 0);
  return dir.windows("addon.zip");
}

TEST(ZipLoad, ListAndExtractCyclesGiveBackEveryResource) {
  const long cycles = stress::count_from_env("API32_STRESS_CYCLES", 1000);
  api32::registry::reset();
  api32::registry::use_content_types(false);
  api32::testing::recorded_boxes boxes;
  temp_dir dir;
  const std::string archive = make_archive(dir);
  const std::string base = dir.windows("out") + "\\";
  api32::uo_nv_ziplib zl;

  auto cycle = [&] {
    bool ok = !zl.of_dwdirectory(archive).empty();
    api32::datastore table(api32::d_zipfiles());
    ok = ok && !zl.of_cudwdirectory(archive, table, base, true).empty() && table.rowcount() == 3;
    std::uint32_t handle = zl.of_unzopen(archive);
    api32::blob readme;
    ok = ok && handle != 0 && zl.of_extractblob(handle, "Docs/readme.txt", readme);
    if (handle != 0) zl.of_unzclose(handle);
    return ok;
  };
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(cycle());

  const stress::resources before = stress::measure();
  const auto start = std::chrono::steady_clock::now();
  long good = 0;
  for (long i = 0; i < cycles; ++i) good += cycle();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const stress::resources after = stress::measure();

  EXPECT_EQ(good, cycles);
  EXPECT_EQ(after.descriptors, before.descriptors) << "before: " << before << "\nafter: " << after;
  EXPECT_EQ(after.handles, before.handles) << "before: " << before << "\nafter: " << after;
  EXPECT_LE(after.heap_bytes, before.heap_bytes + heap_slack) << "before: " << before << "\nafter: " << after;
  EXPECT_EQ(api32::testing::read_file(dir / "out/Docs/Sub/data.csv"),
            api32::testing::read_file(dir / "src/Docs/Sub/data.csv"));
  EXPECT_TRUE(boxes.boxes().empty());
  std::printf("%ld cycles in %.1f s (%.0f a second)\n", cycles, seconds, cycles / seconds);
}

}  // namespace
