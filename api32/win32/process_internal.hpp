// process_internal.hpp - what the process calls share: descriptors owned once, the state of one process
// behind its process and thread handles, the reaper, and the program lookup of CreateProcessA.
#pragma once

#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "api32/win32/process.hpp"

namespace api32::win32::process_detail {

/// pidfd_open and pidfd_send_signal as system calls: this C library declares them without C linkage.
inline int open_pidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0u)); }
inline int signal_pidfd(int pidfd, int signal) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0u));
}

/// A descriptor closed when the object goes away.
class unique_fd {
public:
  unique_fd() = default;
  explicit unique_fd(int fd) : fd_(fd) {}
  ~unique_fd() { reset(); }
  unique_fd(unique_fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  unique_fd& operator=(unique_fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  unique_fd(const unique_fd&) = delete;
  unique_fd& operator=(const unique_fd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

private:
  int fd_ = -1;
};

/// One process, reached through its pidfd. Started processes ("children") are reaped here, by their pidfd
/// only; when the last handle goes while a child still runs, the reaper takes it over.
class process_state {
public:
  process_state(pid_t pid, unique_fd pidfd, bool child) : pid_(pid), pidfd_(std::move(pidfd)), child_(child) {}
  ~process_state();
  process_state(const process_state&) = delete;
  process_state& operator=(const process_state&) = delete;

  pid_t pid() const { return pid_; }
  bool child() const { return child_; }

  enum class wait_result { ended, timed_out, failed };
  /// Waits until the process has ended, at most `milliseconds` (INFINITE: no limit). On failure the last
  /// error is set.
  wait_result wait(DWORD milliseconds);
  /// True once the process has ended (a child is reaped then).
  bool ended();
  /// STILL_ACTIVE while it runs, then its exit code.
  DWORD exit_code();
  /// Sends SIGKILL; 0, or the errno of the refusal (ESRCH once it has ended).
  int terminate(UINT exit_code);

private:
  /// Reaps a child that has ended, without blocking; marks any process that has ended. Caller holds mutex_.
  void collect_locked(bool known_ended);

  std::mutex mutex_;
  pid_t pid_;
  unique_fd pidfd_;
  bool child_;
  bool ended_ = false;
  DWORD exit_code_ = STILL_ACTIVE;
  std::optional<UINT> terminate_code_;
};

class process_object final : public kernel_object {
public:
  process_object(std::shared_ptr<process_state> state, DWORD access) : state(std::move(state)), access(access) {}
  std::shared_ptr<process_state> state;
  DWORD access;
};

class thread_object final : public kernel_object {
public:
  explicit thread_object(std::shared_ptr<process_state> state) : state(std::move(state)) {}
  std::shared_ptr<process_state> state;
};

/// Hands a child that still runs to the background reaper, which reaps it when it ends.
void adopt_running_child(pid_t pid, unique_fd pidfd);
/// Number of children the reaper still waits for (tests).
std::size_t reaper_pending();

/// The program that a command line (or an application name) starts, as a native path; nullopt with the last
/// error set when there is none.
std::optional<std::string> find_program(const char* application_name, std::string_view command_line);

}  // namespace api32::win32::process_detail
