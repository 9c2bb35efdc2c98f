// process_syscalls.hpp - the system calls of the process stand-in that a test may replace: priorities and
// the poll that waits. The system seldom refuses on demand; swapping an entry forces EPERM, EINTR or ENOMEM.
#pragma once

#include <poll.h>
#include <sys/resource.h>
#include <sys/types.h>

namespace api32::win32 {

struct process_syscalls {
  /// getpriority(PRIO_PROCESS, 0, ...) reads and setpriority(PRIO_PROCESS, 0, ...) sets the calling thread's
  /// nice value on Linux; a program started from that thread begins with it.
  int (*getpriority)(int which, id_t who);
  int (*setpriority)(int which, id_t who, int prio);
  int (*poll)(struct pollfd* fds, nfds_t count, int timeout_ms);
};

/// The table in use; the real calls unless a test replaced it.
process_syscalls& process_calls();
/// The real calls.
process_syscalls real_process_calls();

/// Puts `replacement` in place for the object's lifetime (tests only; not thread-safe).
class scoped_process_syscalls {
public:
  explicit scoped_process_syscalls(process_syscalls replacement) : saved_(process_calls()) {
    process_calls() = replacement;
  }
  ~scoped_process_syscalls() { process_calls() = saved_; }
  scoped_process_syscalls(const scoped_process_syscalls&) = delete;
  scoped_process_syscalls& operator=(const scoped_process_syscalls&) = delete;

private:
  process_syscalls saved_;
};

}  // namespace api32::win32
