// process_control.cpp - WaitForSingleObject, TerminateProcess, GetExitCodeProcess, GetProcessId and
// OpenProcess over pidfds.
#include <fcntl.h>
#include <signal.h>

#include <cerrno>
#include <climits>
#include <string>

#include "api32/win32/process_internal.hpp"

namespace api32::win32 {
namespace {

using process_detail::process_object;
using process_detail::process_state;
using process_detail::thread_object;
using process_detail::unique_fd;

// The process of a process handle with `access`, or of a thread handle (threads of our processes are their
// first thread, which ends with the process). Null with the last error set otherwise.
std::shared_ptr<process_state> state_of(HANDLE handle, DWORD access) {
  if (auto process = get_kernel_object<process_object>(handle, handle_kind::process)) {
    if ((process->access & access) != access) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    return process->state;
  }
  if (auto thread = get_kernel_object<thread_object>(handle, handle_kind::thread)) return thread->state;
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

}  // namespace

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto state = state_of(handle, SYNCHRONIZE);
  if (!state) return WAIT_FAILED;
  switch (state->wait(milliseconds)) {
    case process_state::wait_result::ended:
      return WAIT_OBJECT_0;
    case process_state::wait_result::timed_out:
      return WAIT_TIMEOUT;
    case process_state::wait_result::failed:
      break;
  }
  return WAIT_FAILED;
}

BOOL TerminateProcess(HANDLE process, UINT exit_code) {
  auto object = get_kernel_object<process_object>(process, handle_kind::process);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  if ((object->access & PROCESS_TERMINATE) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE_;
  }
  if (int err = object->state->terminate(exit_code); err != 0) {
    SetLastError(err == ESRCH ? ERROR_ACCESS_DENIED : error_from_errno(err));  // ended already: as Windows
    return FALSE_;
  }
  return TRUE_;
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exit_code) {
  auto object = get_kernel_object<process_object>(process, handle_kind::process);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  if (exit_code == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  *exit_code = object->state->exit_code();
  return TRUE_;
}

DWORD GetProcessId(HANDLE process) {
  auto object = get_kernel_object<process_object>(process, handle_kind::process);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(object->state->pid());
}

HANDLE OpenProcess(DWORD desired_access, BOOL /*inherit_handle*/, DWORD process_id) {
  if (process_id == 0 || process_id > static_cast<DWORD>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto pid = static_cast<pid_t>(process_id);
  unique_fd pidfd(process_detail::open_pidfd(pid));
  if (!pidfd) {
    SetLastError(errno == ESRCH ? ERROR_INVALID_PARAMETER : error_from_errno(errno));
    return 0;
  }
  // Reading a process's details is what the kernel guards with its ptrace read check, the very check it
  // makes when /proc/<pid>/environ is opened: refused for another user's process unless we are privileged.
  if ((desired_access & ~(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION)) != 0) {
    std::string environ_path = "/proc/" + std::to_string(pid) + "/environ";
    unique_fd probe(::open(environ_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!probe) {
      SetLastError(errno == ENOENT || errno == ESRCH ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
      return 0;
    }
  }
  if ((desired_access & PROCESS_TERMINATE) != 0 && process_detail::signal_pidfd(pidfd.get(), 0) != 0 &&
      errno == EPERM) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  try {
    // Never "our child" here, even when it is: reaping belongs to the handles CreateProcessA returned.
    auto state = std::make_shared<process_state>(pid, std::move(pidfd), false);
    HANDLE handle =
        add_kernel_object(handle_kind::process, std::make_shared<process_object>(std::move(state), desired_access));
    if (handle == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return handle;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

}  // namespace api32::win32
