// bench_process.cpp - starting /bin/true and waiting for it with uo_nv_process::of_runandwait, against
// posix_spawn + waitpid called directly; looking up a program name that matches nothing with
// of_isprocesseexist, against running `pgrep -x`. The lookups run with API32_BENCH_SLEEPERS (default 500)
// extra sleeping processes: copies of this program that end with it, however it ends. bench/process_compare.sh runs
// this and times Python's subprocess.run in the same run, and prints the ratios.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "api32/process/uo_nv_process.hpp"

extern char** environ;

namespace {

const char* const no_such_program = "api32-nomatch";  // pgrep -x reads at most 15 characters

// Starts a program with standard output sent to /dev/null; its pid, or -1.
pid_t spawn_quiet(std::vector<std::string> argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void BM_runandwait_true(benchmark::State& state) {
  api32::uo_nv_process process;
  for (auto _ : state) {
    if (process.of_runandwait("/bin/true", "", "", false, true, false) != 1) state.SkipWithError("start failed");
  }
}
BENCHMARK(BM_runandwait_true)->UseRealTime();

void BM_posix_spawn_waitpid_true(benchmark::State& state) {
  for (auto _ : state) {
    pid_t pid = -1;
    char true_path[] = "/bin/true";
    char* argv[] = {true_path, nullptr};
    if (posix_spawn(&pid, true_path, nullptr, nullptr, argv, environ) != 0 || pid <= 0) {
      state.SkipWithError("spawn failed");
      break;
    }
    waitpid(pid, nullptr, 0);
  }
}
BENCHMARK(BM_posix_spawn_waitpid_true)->UseRealTime();

void BM_isprocesseexist_nomatch(benchmark::State& state) {
  api32::uo_nv_process process;
  for (auto _ : state) benchmark::DoNotOptimize(process.of_isprocesseexist(no_such_program, 1));
}
BENCHMARK(BM_isprocesseexist_nomatch)->UseRealTime();

void BM_pgrep_nomatch(benchmark::State& state) {
  for (auto _ : state) {
    pid_t pid = spawn_quiet({"/usr/bin/pgrep", "-x", no_such_program});
    if (pid <= 0) {
      state.SkipWithError("pgrep could not start");
      break;
    }
    waitpid(pid, nullptr, 0);
  }
}
BENCHMARK(BM_pgrep_nomatch)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--sleeper") {
    // Ends with the benchmark, however the benchmark ends (SIGKILL when the parent goes).
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != static_cast<pid_t>(std::atol(argv[2]))) return 0;
    pause();
    return 0;
  }
  benchmark::Initialize(&argc, argv);  // may print help and exit: before any sleeper exists
  const char* count_text = std::getenv("API32_BENCH_SLEEPERS");
  const int count = count_text ? std::atoi(count_text) : 500;
  std::vector<pid_t> sleepers;
  for (int i = 0; i < count; ++i) {
    pid_t pid = spawn_quiet({"/proc/self/exe", "--sleeper", std::to_string(getpid())});
    if (pid > 0) sleepers.push_back(pid);
  }
  benchmark::AddCustomContext("extra_sleeping_processes", std::to_string(sleepers.size()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (pid_t pid : sleepers) kill(pid, SIGKILL);  // only the positive pids started above
  for (pid_t pid : sleepers) waitpid(pid, nullptr, 0);
  return 0;
}
