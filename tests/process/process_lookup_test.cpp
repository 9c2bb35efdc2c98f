// uo_nv_process::of_isprocesseexist: the n-th running copy of a program by the end of its executable's name.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "api32/process/uo_nv_process.hpp"
#include "api32/runtime/text.hpp"
#include "process_test_support.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using namespace process_test;
using api32::uo_nv_process;

class ProcessLookup : public ::testing::Test {
protected:
  void SetUp() override {
    copy_child(dir / name);
    start(first, "\"" + dir.windows(name) + "\" sleep 20000");
    start(second, "\"" + dir.windows(name) + "\" sleep 20000");
    ASSERT_TRUE(first.ok && second.ok);
    pids = {first.info.ul_processid, second.info.ul_processid};
    std::sort(pids.begin(), pids.end());  // the list runs in pid order
  }
  // The pid behind a handle of_isprocesseexist returned (0 for none), closing the handle.
  DWORD pid_of(HANDLE h) {
    if (h == 0) return 0;
    DWORD pid = w::GetProcessId(h);
    EXPECT_TRUE(w::CloseHandle(h));
    return pid;
  }
  api32::testing::temp_dir dir;
  const std::string name = "LookupProbe" + std::to_string(::getpid()) + ".exe";
  started first, second;
  std::vector<DWORD> pids;
  uo_nv_process p;
};

TEST_F(ProcessLookup, FindsTheNthCopyByTheEndOfItsNameWithoutRegardToCase) {
  const std::string upper = api32::text::upper(name);
  const std::string tail = name.substr(6);  // "Probe....exe"
  struct row {
    std::string name;
    std::int16_t count;
    DWORD pid;
  } rows[] = {
      {name, 1, pids[0]}, {name, 2, pids[1]}, {name, 3, 0},  {upper, 2, pids[1]},
      {tail, 1, pids[0]}, {name, 0, 0},       {name, -1, 0}, {"x" + name, 1, 0},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(pid_of(p.of_isprocesseexist(r.name, r.count)), r.pid) << r.name << " #" << r.count;
    EXPECT_EQ(w::handles().count(w::handle_kind::snapshot), 0u);  // closed on every path
  }
}

namespace {

// The 1-based place of `pid` in a fresh process list, 0 if it is not there.
std::int16_t place_in_list(DWORD pid) {
  HANDLE snapshot = w::CreateToolhelp32Snapshot(w::TH32CS_SNAPPROCESS, 0);
  api32::str_processentry32 entry;
  entry.dwsize = sizeof entry;
  std::int16_t place = 0, found = 0;
  for (bool ok = w::Process32First(snapshot, &entry); ok && found == 0; ok = w::Process32Next(snapshot, &entry)) {
    ++place;
    if (entry.th32processid == pid) found = place;
  }
  w::CloseHandle(snapshot);
  return found;
}

}  // namespace

// Other processes come and go on a shared machine, so the place of our helper is taken before and after
// the lookup, and the lookup is tried again when the list moved in between.
TEST_F(ProcessLookup, AnEmptyNameMatchesEveryProcessInListOrder) {
  bool steady = false;
  for (int attempt = 0; attempt < 10 && !steady; ++attempt) {
    std::int16_t place = place_in_list(pids[1]);
    ASSERT_GT(place, 0);
    DWORD found = pid_of(p.of_isprocesseexist("", place));
    steady = place_in_list(pids[1]) == place;
    if (steady) {
      EXPECT_EQ(found, pids[1]);
    }
  }
  EXPECT_TRUE(steady) << "the process list never held still";
}

TEST_F(ProcessLookup, TheReturnedHandleQueriesButCannotEndTheProcess) {
  HANDLE h = p.of_isprocesseexist(name, 1);
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(w::TerminateProcess(h, 0));
  EXPECT_EQ(w::GetLastError(), w::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(w::CloseHandle(h));
}

// A copy that may not be read (another user's) gives 0 for the match asked for. The machines run as root:
// the lookup runs in a forked copy of the test that became "nobody".
TEST_F(ProcessLookup, AProcessThatMayNotBeReadGivesZero) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
    uo_nv_process lookup;
    ::_exit(lookup.of_isprocesseexist(name, 1) == 0 && lookup.of_isprocesseexist(name, 2) == 0 ? 0 : 11);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 10) GTEST_SKIP() << "could not switch to the user nobody here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
