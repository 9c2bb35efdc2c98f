// process_state.cpp - one process behind its handles: waiting on its pidfd, reaping it when it is our
// child, its exit code, and ending it.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <climits>

#include "api32/win32/process_internal.hpp"
#include "api32/win32/process_syscalls.hpp"

namespace api32::win32::process_detail {

process_state::~process_state() {
  if (!child_ || !pidfd_) return;
  collect_locked(false);  // no other owner is left: no lock needed
  if (!ended_) adopt_running_child(pid_, std::move(pidfd_));
}

void process_state::collect_locked(bool known_ended) {
  if (ended_) return;
  if (!child_) {
    // Not ours to reap: the pidfd turns readable once the process has ended.
    pollfd p{pidfd_.get(), POLLIN, 0};
    if (known_ended || (::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP)) != 0)) {
      ended_ = true;
      exit_code_ = 0;  // another process's exit status is not ours to learn
    }
    return;
  }
  siginfo_t info{};
  int options = WEXITED | (known_ended ? 0 : WNOHANG);
  int rc;
  do {
    info.si_pid = 0;
    rc = ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd_.get()), &info, options);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    // ECHILD: the child was reaped elsewhere (SIGCHLD set to SIG_IGN); it has ended, its status is lost.
    if (errno == ECHILD) {
      ended_ = true;
      exit_code_ = terminate_code_.value_or(0);
    }
    return;
  }
  if (info.si_pid == 0) return;  // still running
  ended_ = true;
  if (info.si_code == CLD_EXITED) {
    exit_code_ = static_cast<DWORD>(info.si_status);
  } else if (terminate_code_ && info.si_status == SIGKILL) {
    exit_code_ = *terminate_code_;
  } else {
    exit_code_ = 128 + static_cast<DWORD>(info.si_status);
  }
}

process_state::wait_result process_state::wait(DWORD milliseconds) {
  {
    std::lock_guard lock(mutex_);
    collect_locked(false);
    if (ended_) return wait_result::ended;
  }
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    int timeout = -1;
    if (milliseconds != INFINITE) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now()).count();
      timeout = static_cast<int>(left <= 0 ? 0 : (left > INT_MAX ? INT_MAX : left));
    }
    pollfd p{pidfd_.get(), POLLIN, 0};
    int rc = process_calls().poll(&p, 1, timeout);
    if (rc < 0) {
      if (errno == EINTR) continue;
      set_last_error_from_errno();
      return wait_result::failed;
    }
    if (rc == 0) {
      if (timeout == 0) return wait_result::timed_out;
      continue;  // a slice of a long or unlimited wait ran out, or poll woke early
    }
    std::lock_guard lock(mutex_);
    collect_locked(true);
    return wait_result::ended;
  }
}

bool process_state::ended() {
  std::lock_guard lock(mutex_);
  collect_locked(false);
  return ended_;
}

DWORD process_state::exit_code() {
  std::lock_guard lock(mutex_);
  collect_locked(false);
  return ended_ ? exit_code_ : STILL_ACTIVE;
}

int process_state::terminate(UINT exit_code) {
  std::lock_guard lock(mutex_);
  collect_locked(false);
  if (ended_) return ESRCH;
  if (signal_pidfd(pidfd_.get(), SIGKILL) != 0) return errno;
  terminate_code_ = exit_code;
  return 0;
}

}  // namespace api32::win32::process_detail
