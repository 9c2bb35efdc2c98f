// process_syscalls.cpp - the replaceable table of priority and poll calls.
#include "api32/win32/process_syscalls.hpp"

namespace api32::win32 {

process_syscalls real_process_calls() {
  return process_syscalls{
      .getpriority = [](int which, id_t who) { return ::getpriority(static_cast<__priority_which_t>(which), who); },
      .setpriority = [](int which, id_t who,
                        int prio) { return ::setpriority(static_cast<__priority_which_t>(which), who, prio); },
      .poll = [](struct pollfd* fds, nfds_t count, int timeout_ms) { return ::poll(fds, count, timeout_ms); },
  };
}

process_syscalls& process_calls() {
  static process_syscalls table = real_process_calls();
  return table;
}

}  // namespace api32::win32
