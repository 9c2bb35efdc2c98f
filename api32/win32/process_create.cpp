// process_create.cpp - CreateProcessA on Linux: the program found by the Windows rules, started with
// posix_spawn (never a shell) with descriptors 0-2 only, its folder, environment and nice value.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "api32/win32/cmdline.hpp"
#include "api32/win32/paths.hpp"
#include "api32/win32/process_internal.hpp"
#include "api32/win32/process_syscalls.hpp"

extern char** environ;

namespace api32::win32 {
namespace {

using process_detail::unique_fd;

constexpr std::string_view cmdline_variable = "API32_CMDLINE=";

// The nice value of the priority class in `flags`: nullopt for none (the caller's own), or an error for
// several classes at once.
bool nice_for_class(DWORD flags, std::optional<int>& nice) {
  struct entry {
    DWORD flag;
    int nice;
  };
  static constexpr entry classes[] = {{NORMAL_PRIORITY_CLASS, 0},
                                      {IDLE_PRIORITY_CLASS, 19},
                                      {HIGH_PRIORITY_CLASS, -10},
                                      {REALTIME_PRIORITY_CLASS, -20}};
  nice.reset();
  for (const auto& c : classes) {
    if ((flags & c.flag) == 0) continue;
    if (nice) return false;
    nice = c.nice;
  }
  return true;
}

// The environment of the new process: ours or the block's entries, then the raw command line.
std::vector<std::string> child_environment(const void* block, std::string_view command_line) {
  std::vector<std::string> out;
  auto keep = [&](std::string_view entry) {
    // "=C:=C:\..." entries hold Windows's per-drive folders; API32_CMDLINE is always our own
    if (entry.empty() || entry.front() == '=' || entry.starts_with(cmdline_variable)) return;
    out.emplace_back(entry);
  };
  if (block == nullptr) {
    for (char** e = environ; e && *e; ++e) keep(*e);
  } else {
    for (const char* e = static_cast<const char*>(block); *e != '\0'; e += std::strlen(e) + 1) keep(e);
  }
  out.push_back(std::string(cmdline_variable) + std::string(command_line));
  return out;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  out.reserve(texts.size() + 1);
  for (auto& t : texts) out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

// posix_spawn with the child's folder, descriptors 0-2 only, no blocked signals and default dispositions.
// Returns 0 or the errno.
int spawn(const std::string& program, std::vector<std::string>& arguments, std::vector<std::string>& environment,
          const std::optional<std::string>& folder, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (int rc = ::posix_spawn_file_actions_init(&actions); rc != 0) return rc;
  if (int rc = ::posix_spawnattr_init(&attributes); rc != 0) {
    ::posix_spawn_file_actions_destroy(&actions);
    return rc;
  }
  int rc = 0;
  if (folder) rc = ::posix_spawn_file_actions_addchdir_np(&actions, folder->c_str());
  if (rc == 0) rc = ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  sigset_t none, defaults;
  ::sigemptyset(&none);
  ::sigfillset(&defaults);
  ::sigdelset(&defaults, SIGKILL);
  ::sigdelset(&defaults, SIGSTOP);
  if (rc == 0) rc = ::posix_spawnattr_setsigmask(&attributes, &none);
  if (rc == 0) rc = ::posix_spawnattr_setsigdefault(&attributes, &defaults);
  if (rc == 0) rc = ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  if (rc == 0) {
    auto argv = pointers(arguments);
    auto envp = pointers(environment);
    rc = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  }
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  return rc;
}

// A program started from a thread starts with that thread's nice value. So a priority other than ours is
// set on a short-lived thread that then starts the program: the caller's own priority never changes, and
// the program never runs a moment at the wrong one.
int spawn_with_priority(std::optional<int> nice, const std::string& program, std::vector<std::string>& arguments,
                        std::vector<std::string>& environment, const std::optional<std::string>& folder, pid_t& pid) {
  auto& calls = process_calls();
  errno = 0;
  int current = calls.getpriority(PRIO_PROCESS, 0);
  if (errno != 0 || !nice || *nice == current) return spawn(program, arguments, environment, folder, pid);
  int rc = 0;
  try {
    std::thread starter([&] {
      if (calls.setpriority(PRIO_PROCESS, 0, *nice) != 0 && *nice < 0) {
        calls.setpriority(PRIO_PROCESS, 0, 0);  // a refused raise starts the program at normal priority
      }
      rc = spawn(program, arguments, environment, folder, pid);
    });
    starter.join();
  } catch (...) {
    return EAGAIN;
  }
  return rc;
}

// Ends a child we just started and could not hand to its caller, and reaps it.
void end_child(unique_fd& pidfd) {
  process_detail::signal_pidfd(pidfd.get(), SIGKILL);
  siginfo_t info{};
  while (::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd.get()), &info, WEXITED) != 0 &&
         errno == EINTR) {
  }
}

// Puts a child we just started behind a process handle and a thread handle. On failure the child is ended
// and reaped, the last error is set, and false comes back.
bool adopt_started_child(pid_t pid, os_process_information* process_information) {
  unique_fd pidfd(process_detail::open_pidfd(pid));
  if (!pidfd) {
    // Without a pidfd we cannot look after the child: end it and reap it by its pid, which is ours.
    int err = errno;
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    SetLastError(error_from_errno(err));
    return false;
  }
  std::shared_ptr<process_detail::process_state> state;
  try {
    state = std::make_shared<process_detail::process_state>(pid, std::move(pidfd), true);
  } catch (...) {
    end_child(pidfd);  // not taken over: the allocation failed before the state was built
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  HANDLE process = 0;
  HANDLE thread = 0;
  try {
    process = add_kernel_object(handle_kind::process,
                                std::make_shared<process_detail::process_object>(state, PROCESS_ALL_ACCESS));
    if (process)
      thread = add_kernel_object(handle_kind::thread, std::make_shared<process_detail::thread_object>(state));
  } catch (...) {
    thread = 0;
  }
  if (thread == 0) {
    // The handle table is full (or memory ran out): no one could reach this process, so it ends here.
    if (process) CloseHandle(process);
    state->terminate(0);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  *process_information = os_process_information{process, thread, static_cast<DWORD>(pid), static_cast<DWORD>(pid)};
  return true;
}

}  // namespace

BOOL CreateProcessA(const char* application_name, char* command_line, const void* /*process_attributes*/,
                    const void* /*thread_attributes*/, BOOL /*inherit_handles*/, DWORD creation_flags,
                    const void* environment, const char* current_directory, const os_startupinfo* startup_info,
                    os_process_information* process_information) {
  std::optional<int> nice;
  if ((application_name == nullptr && command_line == nullptr) || startup_info == nullptr ||
      process_information == nullptr || !nice_for_class(creation_flags, nice)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  std::string_view raw = command_line ? command_line : application_name;
  try {
    auto program = process_detail::find_program(application_name, raw);
    if (!program) return FALSE_;

    std::optional<std::string> folder;
    if (current_directory != nullptr) {
      folder = to_native_path(current_directory);
      struct stat st;
      if (!folder || ::stat(folder->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE_;
      }
    }
    auto arguments = split_command_line(raw);
    if (arguments.empty()) arguments.push_back(application_name ? application_name : "");
    auto variables = child_environment(environment, raw);

    pid_t pid = -1;
    if (int rc = spawn_with_priority(nice, *program, arguments, variables, folder, pid); rc != 0) {
      SetLastError(error_from_errno(rc));
      return FALSE_;
    }
    return adopt_started_child(pid, process_information) ? TRUE_ : FALSE_;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE_;
  }
}

}  // namespace api32::win32
