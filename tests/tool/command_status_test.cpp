// What the api32 command tells its caller: the status a run's program ended with, failures as status 1 with
// one line on stderr, usage errors as status 2 with one line, and cat streaming an entry instead of holding
// it in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "support/test_support.hpp"

using api32::testing::read_file;
using api32::testing::run;
using api32::testing::temp_dir;

namespace {

struct outcome {
  int status;
  std::string err;
};

class CommandStatus : public ::testing::Test {
protected:
  outcome api32(const std::string& arguments) {
    std::string command = "'" + api32::testing::build_dir() + "/bin/api32' " + arguments;
    int status = run(command + " >'" + (work / "out") + "' 2>'" + (work / "err") + "' </dev/null");
    return {status, read_file(work / "err")};
  }
  temp_dir work;
};

// The address sanitizer's shadow memory and its quarantine of freed blocks add to every peak; holding the
// entry would still take it past twice the entry's size.
#ifdef __SANITIZE_ADDRESS__
constexpr long long peak_limit_kib = 160 * 1024;
#else
constexpr long long peak_limit_kib = 48 * 1024;
#endif

std::size_t line_count(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST_F(CommandStatus, RunPassesTheProgramsStatusOn) {
  struct row {
    const char* arguments;
    int status;
  } rows[] = {
      {"run -- /bin/sh -c 'exit 7'", 7},
      {"run -- /bin/true", 0},
      {"run -- /bin/sh -c 'kill -9 $$'", 128 + 9},          // ended by a signal
      {"run --timeout 0.5 -- /bin/sh -c 'sleep 20'", 124},  // ended by the time-out, as timeout(1) says
      {"run --no-wait -- /bin/sh -c 'exit 7'", 0},          // not waited for: only the start counts
      {"run -- /nonexistent/program", 1},                   // could not start
  };
  for (const auto& r : rows) {
    outcome o = api32(r.arguments);
    EXPECT_EQ(o.status, r.status) << r.arguments << "\n" << o.err;
  }
}

TEST_F(CommandStatus, FailuresAndUsageErrorsAreOneLine) {
  api32::testing::write_file(work / "plain", "x");
  struct row {
    std::string arguments;
    int status;
  } rows[] = {
      {"attrib-normal '" + (work / "missing.txt") + "'", 1},
      // the folder to extract into cannot be made: a file stands where a parent should be
      {"list '" + api32::testing::source_dir() + "/examples/sample-addon.zip' --extract-to '" + (work / "plain/sub") +
           "'",
       1},
      {"list", 2},
      {"run --timeout", 2},
      {"no-such-command", 2},
  };
  for (const auto& r : rows) {
    outcome o = api32(r.arguments);
    EXPECT_EQ(o.status, r.status) << r.arguments;
    EXPECT_EQ(line_count(o.err), 1u) << r.arguments << "\n" << o.err;
  }
  EXPECT_FALSE(api32::testing::exists(work / "plain/sub"));
}

TEST_F(CommandStatus, CatStreamsAnEntryLargerThanItsMemory) {
  // 96 MiB of zeros in an archive of about 100 KB, made by Python's zipfile: cat's peak memory stays far
  // below the entry's size, and every byte arrives
  ASSERT_EQ(run(std::string(api32::testing::python()) +
                " -c 'import sys, zipfile\n"
                "with zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_DEFLATED) as z:\n"
                "    with z.open(\"zeros.bin\", \"w\") as f:\n"
                "        for i in range(96): f.write(bytes(1 << 20))' '" +
                (work / "zeros.zip") + "'"),
            0);
  std::string measured = api32::testing::run_output(
      std::string(api32::testing::python()) +
      " -c 'import resource, subprocess, sys\n"
      "p = subprocess.Popen(sys.argv[1:], stdout=subprocess.PIPE)\n"
      "count, nonzero = 0, 0\n"
      "while True:\n"
      "    block = p.stdout.read(1 << 16)\n"
      "    if not block: break\n"
      "    count += len(block)\n"
      "    nonzero += len(block) - block.count(0)\n"
      "status = p.wait()\n"
      "print(status, count, nonzero, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' '" +
      api32::testing::build_dir() + "/bin/api32' cat '" + (work / "zeros.zip") + "' zeros.bin");
  int status = -1;
  long long count = 0, nonzero = -1, peak_kib = 0;
  ASSERT_EQ(std::sscanf(measured.c_str(), "%d %lld %lld %lld", &status, &count, &nonzero, &peak_kib), 4) << measured;
  EXPECT_EQ(status, 0);
  EXPECT_EQ(count, 96ll << 20);
  EXPECT_EQ(nonzero, 0);
  EXPECT_LT(peak_kib, peak_limit_kib) << "cat held " << peak_kib << " KiB for an entry of 96 MiB";
}
