// process.hpp - the KERNEL32 process calls of the stand-in: starting programs, waiting for them, ending them,
// opening running processes and walking a snapshot of the process list.
//
// Process and thread handles are kernel objects of the handle table (CloseHandle closes them) over a pidfd,
// so a handle never reaches a process that merely reuses an old pid. Processes we start are reaped when they
// end: by a wait, when their last handle closes, or by a background reaper that waits on their pidfds only.
// Nothing here ever calls waitpid(-1) or installs a SIGCHLD handler.
// Implemented in process_*.cpp (start, wait, open) and toolhelp_*.cpp (snapshots).
#pragma once

#include <cstdint>

#include "api32/win32/kernel_object.hpp"
#include "api32/win32/process_records.hpp"

namespace api32::win32 {

using UINT = std::uint32_t;

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD STILL_ACTIVE = 259;

// creation flags: the priority classes (nice values 0, 19, -10, -20)
inline constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;
inline constexpr DWORD IDLE_PRIORITY_CLASS = 0x40;
inline constexpr DWORD HIGH_PRIORITY_CLASS = 0x80;
inline constexpr DWORD REALTIME_PRIORITY_CLASS = 0x100;

inline constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
inline constexpr DWORD STARTF_USESIZE = 0x2;
inline constexpr DWORD STARTF_USEPOSITION = 0x4;

// access rights of process handles
inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
inline constexpr DWORD PROCESS_VM_READ = 0x0010;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
inline constexpr DWORD SYNCHRONIZE = 0x00100000;
inline constexpr DWORD PROCESS_ALL_ACCESS = 0x001FFFFF;

inline constexpr DWORD TH32CS_SNAPPROCESS = 0x2;

/// Starts a program. Windows: the program is `application_name`, or else the first token of `command_line`;
/// an unquoted token with blanks is tried prefix by prefix ("C:\Program Files\x.exe a" tries C:\Program, then
/// C:\Program Files\x.exe, ...), a name without extension also with ".exe", a name without folder in the
/// current folder and then along PATH. Here: the program is found through the path mapping without regard to
/// case and started with posix_spawn, never through a shell. Its argv is split_command_line(command_line);
/// the raw line is also in its environment as API32_CMDLINE. It gets descriptors 0-2 only, whatever
/// `inherit_handles` says. `environment` is null (inherit ours) or a block of "name=value\0" texts ended by
/// an empty one (a zero at its start is the empty environment). `current_directory` null is our folder. The
/// priority class becomes a nice value; a raise the system refuses starts the program at normal priority.
/// Window fields of `startup_info` are accepted and have no effect. TRUE with `process_information` filled
/// (both handles are the caller's to close), or FALSE with `process_information` untouched and the last
/// error: ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND (no such program), ERROR_DIRECTORY (bad folder),
/// ERROR_ACCESS_DENIED (not executable), ERROR_INVALID_PARAMETER (no program given, several priority
/// classes, no record).
BOOL CreateProcessA(const char* application_name, char* command_line, const void* process_attributes,
                    const void* thread_attributes, BOOL inherit_handles, DWORD creation_flags, const void* environment,
                    const char* current_directory, const os_startupinfo* startup_info,
                    os_process_information* process_information);

/// Waits until the process (or its first thread) has ended, at most `milliseconds` (INFINITE: no limit).
/// WAIT_OBJECT_0 when it has ended, WAIT_TIMEOUT when the time ran out, WAIT_FAILED with the last error
/// (ERROR_INVALID_HANDLE; ERROR_ACCESS_DENIED without SYNCHRONIZE access).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

/// Ends the process at once (SIGKILL, which a program cannot ignore); its exit code becomes `exit_code`.
/// FALSE with ERROR_ACCESS_DENIED when the process has already ended, the handle lacks PROCESS_TERMINATE or
/// the system refuses; ERROR_INVALID_HANDLE for a value that is no process handle.
BOOL TerminateProcess(HANDLE process, UINT exit_code);

/// A handle to a running process with the rights asked for. 0 with ERROR_INVALID_PARAMETER when there is no
/// such process (or for pid 0), ERROR_ACCESS_DENIED when the caller may not read it (another user's process,
/// for a caller without the privilege) or may not signal it when PROCESS_TERMINATE is asked for.
HANDLE OpenProcess(DWORD desired_access, BOOL inherit_handle, DWORD process_id);

/// The exit code of a process, STILL_ACTIVE while it runs. A process ended by a signal other than
/// TerminateProcess's reads as 128 + the signal number. For a process we did not start, the code is not known
/// on this platform and reads as 0 once it has ended.
BOOL GetExitCodeProcess(HANDLE process, DWORD* exit_code);

/// The process identifier of a process handle, or 0 with ERROR_INVALID_HANDLE.
DWORD GetProcessId(HANDLE process);

/// Takes a picture of the running processes (TH32CS_SNAPPROCESS; other kinds give an empty list) from /proc.
/// `process_id` is not used for process lists, as on Windows. INVALID_HANDLE_VALUE with the last error when
/// /proc cannot be read.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD process_id);

/// The first process of a snapshot. `entry->dwsize` must be at least 296 (else ERROR_BAD_LENGTH); `szexefile`
/// is the executable's file name: from the /proc exe link, else argv[0]'s last component, else the
/// kernel's name of the process. FALSE with ERROR_NO_MORE_FILES for an empty list.
BOOL Process32First(HANDLE snapshot, str_processentry32* entry);
/// The next process; FALSE with ERROR_NO_MORE_FILES after the last.
BOOL Process32Next(HANDLE snapshot, str_processentry32* entry);

}  // namespace api32::win32
