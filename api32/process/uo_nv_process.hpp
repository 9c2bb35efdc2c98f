// uo_nv_process.hpp - starting programs with launch settings, waiting for them with a time-out, and finding
// running processes by the name of their executable.
//
// The settings (priority class, working folder, window position, size and state, time-out) live in the
// object and apply to every later of_runandwait until they are changed. Process, thread and snapshot
// handles are closed inside the function that opened them, except the process handle of_isprocesseexist
// returns, which the caller closes with CloseHandle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "api32/process/process_records.hpp"
#include "api32/runtime/datastore.hpp"
#include "api32/runtime/values.hpp"

namespace api32 {

class uo_nv_process {
public:
  static constexpr std::uint32_t infinite = 4294967295u;
  static constexpr std::uint32_t normal_priority_class = 32;
  static constexpr std::uint32_t idle_priority_class = 64;
  static constexpr std::uint32_t high_priority_class = 128;
  static constexpr std::uint32_t realtime_priority_class = 256;

  /// The constructor event: no reserved or title texts, the caller's working folder.
  uo_nv_process();

  // ---- launch settings
  /// One of the four priority classes: 1; anything else (or null): -1, nothing changes.
  std::int16_t of_setpriority(std::optional<std::uint32_t> aul_priority);
  /// The working folder of later launches; empty or null means the caller's folder. Always 1.
  std::int16_t of_setcurrentdirectory(const std::optional<std::string>& as_directory);
  /// Whether the flag bit `aul_feature` (1 show window, 2 size, 4 position) is set. A value of several bits
  /// asks whether all of them are set; 0 is never enabled.
  bool of_isenabled(std::uint32_t aul_feature);
  /// Window position; both 0 switches it off (the values are kept). Null: -1.
  std::int16_t of_setposition(std::optional<std::uint32_t> aul_x, std::optional<std::uint32_t> aul_y);
  /// Window size; both 0 switches it off (the values are kept). Null: -1.
  std::int16_t of_setsize(std::optional<std::uint32_t> aul_width, std::optional<std::uint32_t> aul_height);
  /// "normal", "maximize", "minimize", "hide" (any case) set the window state, "off" drops it: 1. Any other
  /// text: -1, and the show-window bit is set all the same.
  std::int16_t of_setwindow(const std::string& as_windowstate);
  /// The wait limit in seconds, rounded to the nearest millisecond. From -1 up to 0, 4294967295, or a limit
  /// of 4294967295 ms or more: no limit. 0 waits not at all. Below -1 or null: -1, nothing changes.
  std::int16_t of_settimeout(const std::optional<decimal>& adec_seconds);

  // ---- run and wait
  /// Starts `as_command` + " " + `as_option` in `as_directory` (empty: the caller's folder), with an empty
  /// environment when `ab_bis`, hidden when `ab_hide`; with `ab_wait` waits up to the time-out, ending the
  /// program when it runs out ("Wait Timeout" box). An installer whose file name holds "setup" runs under a
  /// temporary name ("setup" -> "xxxxx") in its folder and is moved back afterwards. 1 when a program was
  /// started, -1 when none was.
  std::int16_t of_runandwait(const std::string& as_command, const std::string& as_option,
                             const std::string& as_directory, bool ab_bis, bool ab_wait, bool ab_hide);

  // ---- running-process lookup
  /// A handle (query and read access; the caller closes it) to the `ai_sameprocesscount`-th running process
  /// whose executable's file name ends with `as_processename`, without regard to case; else 0.
  std::uint32_t of_isprocesseexist(const std::string& as_processename, std::int16_t ai_sameprocesscount);

  // ---- the settings as they stand (read only)
  const os_startupinfo& startupinfo() const { return istr_startupinfo; }
  /// ui_showwindow, or nullopt once a launch without the hide option has set it to null.
  std::optional<std::uint16_t> showwindow() const {
    return ib_showwindow_null ? std::nullopt : std::optional<std::uint16_t>(istr_startupinfo.ui_showwindow);
  }
  std::uint32_t creationflags() const { return iul_creationflags; }
  std::uint32_t timeout() const { return iul_timeout; }
  const std::optional<std::string>& directory() const { return is_directory; }

  // ---- how the last of_runandwait ended (read only; for hosts that pass a program's result on)
  /// The program's exit code when the last of_runandwait waited for it and it ended in time (a program ended
  /// by a signal reads as 128 + the signal); nullopt when it was not waited for, not started, ran out of time
  /// or the wait failed.
  std::optional<std::uint32_t> last_exit_code() const { return last_exit_code_; }
  /// True when the last of_runandwait ended the program because the time-out ran out.
  bool last_run_timed_out() const { return last_run_timed_out_; }

private:
  static constexpr std::uint32_t startf_useshowwindow = 1;
  static constexpr std::uint32_t startf_usesize = 2;
  static constexpr std::uint32_t startf_useposition = 4;
  static constexpr std::uint16_t sw_hide = 0;
  static constexpr std::uint16_t sw_normal = 1;
  static constexpr std::uint16_t sw_maximize = 3;
  static constexpr std::uint16_t sw_minimize = 6;
  static constexpr std::uint32_t wait_failed = 4294967295u;
  static constexpr std::uint32_t wait_timeout = 258;
  static constexpr double log_2 = 0.6931471805599453;

  os_startupinfo istr_startupinfo;
  bool ib_showwindow_null = false;  ///< ui_showwindow is null (a record field cannot hold null itself)
  std::uint32_t iul_creationflags = normal_priority_class;
  std::uint32_t iul_timeout = infinite;
  std::optional<std::string> is_directory;
  std::int32_t th32cs_snapprocess = 2;
  std::int32_t process_vm_read = 16;
  std::int32_t process_query_information = 1024;
  std::int16_t ii_processcount = 0;
  std::optional<std::uint32_t> last_exit_code_;
  bool last_run_timed_out_ = false;

  /// Sets or clears one flag bit of ul_flags, only when it is not in the wanted state yet.
  void set_flag(std::uint32_t bit, bool on);

  // ---- external functions (KERNEL32): our binding to win32/
  std::uint32_t waitforsingleobject(std::uint32_t handle, std::uint32_t milliseconds);
  bool createprocess(std::uint32_t applicationname, std::string& commandline, std::uint32_t processattributes,
                     std::uint32_t threadattributes, bool inherithandles, std::uint32_t creationflags,
                     std::uint32_t environment, const std::optional<std::string>& currentdirectory,
                     os_startupinfo& startupinfo, os_process_information& processinformation);
  bool createprocessbis(std::uint32_t applicationname, std::string& commandline, std::uint32_t processattributes,
                        std::uint32_t threadattributes, bool inherithandles, std::uint32_t creationflags,
                        std::uint32_t& environment, const std::optional<std::string>& currentdirectory,
                        os_startupinfo& startupinfo, os_process_information& processinformation);
  bool closehandle(std::uint32_t object);
  std::uint32_t getlasterror();
  bool terminateprocess(std::uint32_t process, std::uint16_t exitcode);
  bool getexitcodeprocess(std::uint32_t process, std::uint32_t& exitcode);
  std::uint32_t openprocess(std::uint32_t dwdesiredaccess, bool binherithandle, std::uint32_t dwprocessid);
  std::uint32_t createtoolhelp32snapshot(std::int32_t dwflags, std::int32_t th32processid);
  bool process32first(std::uint32_t hsnapshot, str_processentry32& lppe);
  bool process32next(std::uint32_t hsnapshot, str_processentry32& lppe);
  /// The start-up record as the platform receives it: a null show state reaches it as none at all.
  os_startupinfo startupinfo_for_platform(const os_startupinfo& startupinfo) const;
};

/// The table layout dw_processes: the columns name and id, headed "Name" and "Id". The library neither fills
/// nor reads it; it is the host's to use.
const table_layout& dw_processes();

}  // namespace api32
