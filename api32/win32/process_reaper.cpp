// process_reaper.cpp - reaps the children whose handles were all closed while they still ran.
//
// One background thread, started when the first such child arrives and gone when the last one is reaped,
// polls the children's pidfds and reaps each by its own pidfd when it ends. It never waits for "any child"
// and installs no SIGCHLD handler: a GTK host's GLib owns that signal, and other children are not ours.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdint>
#include <thread>
#include <vector>

#include "api32/win32/process_internal.hpp"

namespace api32::win32::process_detail {
namespace {

class reaper {
public:
  static reaper& instance() {
    static reaper* r = new reaper();  // never destroyed: children may be handed over during exit
    return *r;
  }

  // Takes `pidfd` over once nothing can fail any more; on an exception the caller still holds it.
  void adopt(pid_t pid, unique_fd& pidfd) {
    std::lock_guard lock(mutex_);
    if (owner_ != ::getpid()) {  // in a forked copy of the process the thread does not exist
      owner_ = ::getpid();
      running_ = false;
    }
    children_.reserve(children_.size() + 1);
    children_.push_back(child{pid, std::move(pidfd)});
    if (running_) {
      std::uint64_t one = 1;
      [[maybe_unused]] auto n = ::write(wake_.get(), &one, sizeof one);
      return;
    }
    start_locked();
  }

  std::size_t pending() {
    std::lock_guard lock(mutex_);
    return children_.size();
  }

private:
  struct child {
    pid_t pid;
    unique_fd pidfd;
  };

  reaper() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), owner_(::getpid()) {}

  void start_locked() {
    // The thread blocks every signal, so signals meant for the host never land on it.
    sigset_t all, previous;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
      std::thread(&reaper::run, this).detach();
      running_ = true;
    } catch (...) {
      // No thread now: the children stay listed and the next hand-over tries again.
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }

  void run() {
    std::vector<pollfd> fds;
    for (;;) {
      fds.clear();
      {
        std::lock_guard lock(mutex_);
        reap_ended_locked();
        if (children_.empty()) {
          running_ = false;
          return;
        }
        fds.push_back(pollfd{wake_.get(), POLLIN, 0});
        for (const auto& c : children_) fds.push_back(pollfd{c.pidfd.get(), POLLIN, 0});
      }
      if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
        ::poll(nullptr, 0, 100);  // out of resources: try again shortly rather than spin
      }
      std::uint64_t count;
      [[maybe_unused]] auto n = ::read(wake_.get(), &count, sizeof count);
    }
  }

  // Reaps every listed child that has ended; keeps the others.
  void reap_ended_locked() {
    std::erase_if(children_, [](const child& c) {
      siginfo_t info{};
      int rc;
      do {
        info.si_pid = 0;
        rc = ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(c.pidfd.get()), &info, WEXITED | WNOHANG);
      } while (rc != 0 && errno == EINTR);
      return rc != 0 || info.si_pid != 0;  // reaped, or no longer ours to reap (ECHILD)
    });
  }

  std::mutex mutex_;
  std::vector<child> children_;
  unique_fd wake_;
  pid_t owner_;
  bool running_ = false;
};

}  // namespace

void adopt_running_child(pid_t pid, unique_fd pidfd) {
  try {
    reaper::instance().adopt(pid, pidfd);
  } catch (...) {
    // Out of memory while handing over: wait for the child here rather than leave a zombie behind.
    siginfo_t info{};
    if (pidfd) ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd.get()), &info, WEXITED);
  }
}

std::size_t reaper_pending() { return reaper::instance().pending(); }

}  // namespace api32::win32::process_detail
