// Waiting, ending, exit codes, reaping, and opening running processes.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <utility>

#include "api32/win32/process_internal.hpp"
#include "api32/win32/process_syscalls.hpp"
#include "process_test_support.hpp"
#include "support/test_support.hpp"

extern char** environ;

namespace w = api32::win32;
using namespace process_test;
using clock_type = std::chrono::steady_clock;

namespace {

std::chrono::milliseconds since(clock_type::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - start);
}

}  // namespace

TEST(WaitForSingleObject, TimesOutThenSeesTheEndAndTheExitCode) {
  started p;
  start(p, child_windows() + " sleep 10000");
  ASSERT_TRUE(p.ok);
  auto t0 = clock_type::now();
  EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, 60), w::WAIT_TIMEOUT);
  EXPECT_GE(since(t0).count(), 60);
  EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, 0), w::WAIT_TIMEOUT);
  DWORD code = 0;
  EXPECT_TRUE(w::GetExitCodeProcess(p.info.ul_process, &code));
  EXPECT_EQ(code, w::STILL_ACTIVE);

  EXPECT_TRUE(w::TerminateProcess(p.info.ul_process, 7));
  EXPECT_EQ(w::WaitForSingleObject(p.info.ul_thread, w::INFINITE), w::WAIT_OBJECT_0);  // the first thread too
  EXPECT_EQ(our_children().zombies, 0);                                                // the wait reaped it
  EXPECT_TRUE(w::GetExitCodeProcess(p.info.ul_process, &code));
  EXPECT_EQ(code, 7u);
  w::SetLastError(0);
  EXPECT_FALSE(w::TerminateProcess(p.info.ul_process, 1));  // ended already
  EXPECT_EQ(w::GetLastError(), w::ERROR_ACCESS_DENIED);
}

TEST(WaitForSingleObject, ExitCodesOfProgramsThatEndOnTheirOwn) {
  for (int expected : {0, 3, 255}) {
    started p;
    start(p, child_windows() + " exit " + std::to_string(expected));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, w::INFINITE), w::WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(w::GetExitCodeProcess(p.info.ul_process, &code));
    EXPECT_EQ(code, static_cast<DWORD>(expected));
    EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, 0), w::WAIT_OBJECT_0);  // stays signalled
  }
}

TEST(TerminateProcess, EndsAProgramThatIgnoresSigterm) {
  api32::testing::temp_dir dir;
  started p;
  start(p, child_windows() + " ignore-term out " + (dir / "r") + " print-pid sleep 10000");
  ASSERT_TRUE(p.ok);
  ASSERT_TRUE(eventually([&] { return read_report(dir / "r").get("pid") != "<missing>"; }));
  auto t0 = clock_type::now();
  EXPECT_TRUE(w::TerminateProcess(p.info.ul_process, 0));
  EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, 5000), w::WAIT_OBJECT_0);
  EXPECT_LT(since(t0).count(), 2000);
}

TEST(HandlesOfProcesses, RefuseStaleForeignAndWrongKindValues) {
  started p;
  start(p, child_windows() + " exit 0");
  ASSERT_TRUE(p.ok);
  HANDLE snapshot = w::CreateToolhelp32Snapshot(0, 0);
  HANDLE closed = w::OpenProcess(w::SYNCHRONIZE, w::FALSE_, static_cast<DWORD>(::getpid()));
  ASSERT_TRUE(w::CloseHandle(closed));
  for (HANDLE bad : {HANDLE{0}, HANDLE{12345}, w::INVALID_HANDLE_VALUE, snapshot, closed}) {
    w::SetLastError(0);
    EXPECT_EQ(w::WaitForSingleObject(bad, 0), w::WAIT_FAILED);
    EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_HANDLE);
    EXPECT_FALSE(w::TerminateProcess(bad, 0));
    EXPECT_EQ(w::GetProcessId(bad), 0u);
  }
  EXPECT_FALSE(w::TerminateProcess(p.info.ul_thread, 0));  // a thread handle is not a process handle
  EXPECT_TRUE(w::CloseHandle(snapshot));
}

namespace {

int poll_calls = 0;
int failing_poll(pollfd*, nfds_t, int) {
  errno = ENOMEM;
  return -1;
}
int interrupted_once_poll(pollfd* fds, nfds_t count, int timeout) {
  if (poll_calls++ == 0) {
    errno = EINTR;
    return -1;
  }
  return w::real_process_calls().poll(fds, count, timeout);
}

}  // namespace

TEST(WaitForSingleObject, AFailingPollFailsTheWaitAndAnInterruptedOneGoesOn) {
  started p;
  start(p, child_windows() + " sleep 100");
  ASSERT_TRUE(p.ok);
  {
    auto calls = w::real_process_calls();
    calls.poll = failing_poll;
    w::scoped_process_syscalls failing(calls);
    EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, 1000), w::WAIT_FAILED);
    EXPECT_EQ(w::GetLastError(), w::ERROR_NOT_ENOUGH_MEMORY);
  }
  auto calls = w::real_process_calls();
  calls.poll = interrupted_once_poll;
  w::scoped_process_syscalls interrupted(calls);
  poll_calls = 0;
  EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, 5000), w::WAIT_OBJECT_0);
  EXPECT_GE(poll_calls, 2);
}

TEST(Reaping, ProgramsWhoseHandlesCloseEarlyLeaveNoZombies) {
  ASSERT_TRUE(eventually(all_reaped));  // what earlier tests ended is gone first
  const auto before = our_children();
  const auto handles_before = w::handles().count();
  for (const char* mode : {" exit 0", " sleep 100", " ignore-term sleep 150"}) {
    for (int i = 0; i < 5; ++i) {
      started p;
      start(p, child_windows() + mode);
      ASSERT_TRUE(p.ok);
      HANDLE process = std::exchange(p.info.ul_process, 0);
      HANDLE thread = std::exchange(p.info.ul_thread, 0);
      p.ok = false;
      EXPECT_TRUE(w::CloseHandle(thread));
      EXPECT_TRUE(w::CloseHandle(process));
    }
  }
  EXPECT_TRUE(eventually([&] { return all_reaped() && our_children().total == before.total; }))
      << "children " << our_children().total << " (before " << before.total << "), zombies " << our_children().zombies
      << ", waiting in the reaper " << w::process_detail::reaper_pending();
  EXPECT_EQ(w::handles().count(), handles_before);
}

// A host's own children (GLib's, say) are not ours: the reaper waits by pidfd for the children the library
// started and leaves every other child for its owner to reap.
TEST(Reaping, LeavesOtherChildrenToTheirOwner) {
  char true_path[] = "/bin/true";
  char* argv[] = {true_path, nullptr};
  pid_t foreign = -1;
  ASSERT_EQ(::posix_spawn(&foreign, true_path, nullptr, nullptr, argv, environ), 0);
  ASSERT_GT(foreign, 0);
  for (int i = 0; i < 3; ++i) {
    started p;
    start(p, child_windows() + " sleep 50");
    ASSERT_TRUE(p.ok);
    w::CloseHandle(std::exchange(p.info.ul_thread, 0));
    w::CloseHandle(std::exchange(p.info.ul_process, 0));
    p.ok = false;
  }
  EXPECT_TRUE(eventually([] { return w::process_detail::reaper_pending() == 0; }));
  int status = -1;
  EXPECT_EQ(::waitpid(foreign, &status, 0), foreign);  // still there for us to reap
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(OpenProcess, OpensRunningProcessesWithTheRightsAskedFor) {
  started p;
  start(p, child_windows() + " sleep 10000");
  ASSERT_TRUE(p.ok);
  HANDLE query = w::OpenProcess(w::PROCESS_QUERY_INFORMATION | w::PROCESS_VM_READ, w::FALSE_, p.info.ul_processid);
  ASSERT_NE(query, 0u);
  EXPECT_EQ(w::GetProcessId(query), p.info.ul_processid);
  w::SetLastError(0);
  EXPECT_EQ(w::WaitForSingleObject(query, 0), w::WAIT_FAILED);  // no SYNCHRONIZE right
  EXPECT_EQ(w::GetLastError(), w::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(w::TerminateProcess(query, 0));  // no PROCESS_TERMINATE right
  EXPECT_EQ(w::GetLastError(), w::ERROR_ACCESS_DENIED);

  HANDLE full = w::OpenProcess(w::SYNCHRONIZE | w::PROCESS_TERMINATE, w::FALSE_, p.info.ul_processid);
  ASSERT_NE(full, 0u);
  EXPECT_TRUE(w::TerminateProcess(full, 4));
  EXPECT_EQ(w::WaitForSingleObject(full, 5000), w::WAIT_OBJECT_0);
  EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, 5000), w::WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(w::GetExitCodeProcess(p.info.ul_process, &code));
  EXPECT_EQ(code, 128u + SIGKILL);  // ended through another handle: the signal shows
  EXPECT_TRUE(w::CloseHandle(query));
  EXPECT_TRUE(w::CloseHandle(full));

  for (DWORD pid : {DWORD{0}, DWORD{0x7ffffff0}, DWORD{0xfffffff0}}) {
    w::SetLastError(0);
    EXPECT_EQ(w::OpenProcess(w::SYNCHRONIZE, w::FALSE_, pid), 0u);
    EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_PARAMETER);
  }
}

// Another user's process may not be read. The machines run as root, so the refusal is tried from a forked
// copy of the test that gave up root for "nobody", on the test process itself.
TEST(OpenProcess, RefusesAnotherUsersProcess) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  const pid_t owner = ::getpid();
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
    w::SetLastError(0);
    HANDLE h = w::OpenProcess(w::PROCESS_QUERY_INFORMATION | w::PROCESS_VM_READ, w::FALSE_, static_cast<DWORD>(owner));
    ::_exit(h == 0 && w::GetLastError() == w::ERROR_ACCESS_DENIED ? 0 : 11);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 10) GTEST_SKIP() << "could not switch to the user nobody here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "OpenProcess was not refused";
}
