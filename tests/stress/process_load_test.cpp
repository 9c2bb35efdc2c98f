// process_load_test.cpp - of_runandwait thousands of times in one process: every launch's pidfd, handles,
// child and memory are given back.
#include <gtest/gtest.h>

#include <chrono>

#include "api32/process/uo_nv_process.hpp"
#include "stress_support.hpp"
#include "support/test_support.hpp"

namespace {

// Heap a long run may grow by without a leak: caches and allocator slack, far below one block per launch.
constexpr std::size_t heap_slack = 64 * 1024;

TEST(ProcessLoad, RunAndWaitGivesBackEveryResource) {
  // 10,000 by default (about 15 s with the sanitizers); API32_STRESS_RUNS asks for another count
  const long runs = stress::count_from_env("API32_STRESS_RUNS", 10000);
  api32::testing::recorded_boxes boxes;
  api32::uo_nv_process process;
  auto run_true = [&] { return process.of_runandwait("/bin/true", "", "", false, true, true); };
  for (int i = 0; i < 50; ++i) ASSERT_EQ(run_true(), 1);  // first-use state: reaper, tables, caches

  const stress::resources before = stress::measure();
  const auto start = std::chrono::steady_clock::now();
  long started = 0;
  for (long i = 0; i < runs; ++i) started += run_true() == 1;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const stress::resources after = stress::measure();

  EXPECT_EQ(started, runs);
  EXPECT_EQ(after.descriptors, before.descriptors) << "before: " << before << "\nafter: " << after;
  EXPECT_EQ(after.handles, before.handles) << "before: " << before << "\nafter: " << after;
  EXPECT_EQ(after.children, 0) << "after: " << after;
  EXPECT_LE(after.heap_bytes, before.heap_bytes + heap_slack) << "before: " << before << "\nafter: " << after;
  EXPECT_TRUE(boxes.boxes().empty());
  RecordProperty("runs", static_cast<int>(runs));
  RecordProperty("runs_per_second", static_cast<int>(runs / seconds));
  std::printf("%ld runs in %.1f s (%.0f a second)\n", runs, seconds, runs / seconds);
}

// A launch that fails (no such program) must give back as much as one that succeeds.
TEST(ProcessLoad, FailedLaunchesGiveBackEveryResource) {
  const long runs = stress::count_from_env("API32_STRESS_RUNS", 10000) / 10;
  api32::testing::recorded_boxes boxes;
  api32::uo_nv_process process;
  auto run_missing = [&] { return process.of_runandwait("/nonexistent/program", "-x", "", false, true, true); };
  for (int i = 0; i < 20; ++i) ASSERT_EQ(run_missing(), -1);
  boxes.clear();

  const stress::resources before = stress::measure();
  for (long i = 0; i < runs; ++i) ASSERT_EQ(run_missing(), -1);
  const stress::resources after = stress::measure();

  EXPECT_EQ(after.descriptors, before.descriptors) << "before: " << before << "\nafter: " << after;
  EXPECT_EQ(after.handles, before.handles) << "before: " << before << "\nafter: " << after;
  EXPECT_EQ(after.children, 0);
  EXPECT_LE(after.heap_bytes, before.heap_bytes + heap_slack) << "before: " << before << "\nafter: " << after;
}

}  // namespace
