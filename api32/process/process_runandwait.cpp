// process_runandwait.cpp - uo_nv_process::of_runandwait: start a program with the object's settings,
// optionally wait for it with the time-out, and run installers under a temporary name.
#include <algorithm>

#include "api32/host/host_services.hpp"
#include "api32/process/uo_nv_process.hpp"
#include "api32/runtime/files.hpp"
#include "api32/runtime/message_box.hpp"
#include "api32/runtime/text.hpp"

namespace api32 {
namespace {

// Position (1-based, in characters) of the last occurrence of `find` in `s`, 0 if none.
std::int64_t last_position(std::string_view s, std::string_view find) {
  std::int64_t last = 0;
  for (std::int64_t at = text::pos(s, find); at > 0; at = text::pos(s, find, at + 1)) last = at;
  return last;
}

std::string replace_setup(const std::string& name) {
  auto core = host::globals().gnv_core;
  return core ? core->of_globalreplace(name, "setup", "xxxxx") : text::replace_all(name, "setup", "xxxxx");
}

}  // namespace

std::int16_t uo_nv_process::of_runandwait(const std::string& as_command, const std::string& as_option,
                                          const std::string& as_directory, bool ab_bis, bool ab_wait, bool ab_hide) {
  std::int16_t li_return = -1;
  std::string ls_command = as_command;

  // An installer whose file name holds "setup" runs under a temporary name in its own folder: the name is
  // what follows the last "\" or "/" before the first ".exe".
  std::string ls_src_file;
  std::string ls_dest_file;
  bool lb_rename = false;
  const std::int64_t li_pos_exe = text::pos(text::lower(ls_command), ".exe");
  const std::string ls_head = text::left(ls_command, li_pos_exe);
  const std::int64_t li_pos_slash = std::max(last_position(ls_head, "\\"), last_position(ls_head, "/"));
  std::string ls_exe = text::mid(ls_command, li_pos_slash + 1, li_pos_exe - li_pos_slash + 3);
  if (text::pos(text::lower(ls_exe), "setup") > 0) {
    ls_src_file = text::left(as_command, li_pos_exe + 3);
    ls_exe = replace_setup(text::lower(ls_exe));
    ls_dest_file = text::left(as_command, li_pos_slash) + ls_exe;
    ls_command = text::left(as_command, li_pos_slash) + ls_exe + text::mid(as_command, li_pos_exe + 4);
    files::file_delete(ls_dest_file);
    // The rename counts only once the file has moved: a failed move must not lead to deleting the
    // installer when the names are put back.
    lb_rename = files::file_move(ls_src_file, ls_dest_file) == 1;
  }

  const std::uint32_t lul_flags = istr_startupinfo.ul_flags;
  if (ab_hide) {
    set_flag(startf_useshowwindow, true);
    istr_startupinfo.ui_showwindow = sw_hide;
    ib_showwindow_null = false;
  } else {
    istr_startupinfo.ui_showwindow = 0;
    ib_showwindow_null = true;
  }

  ls_command = ls_command + " " + as_option;
  of_setcurrentdirectory(as_directory);
  istr_startupinfo.ul_cb = sizeof(os_startupinfo);

  os_process_information lstr_proc;
  std::uint32_t lul_null = 0;
  bool lb_rc;
  if (ab_bis) {
    lb_rc = createprocessbis(lul_null, ls_command, lul_null, lul_null, true, iul_creationflags, lul_null, is_directory,
                             istr_startupinfo, lstr_proc);
  } else {
    lb_rc = createprocess(lul_null, ls_command, lul_null, lul_null, true, iul_creationflags, lul_null, is_directory,
                          istr_startupinfo, lstr_proc);
  }

  last_exit_code_.reset();
  last_run_timed_out_ = false;
  if (lb_rc && ab_wait) {
    std::uint32_t lul_rc = waitforsingleobject(lstr_proc.ul_process, iul_timeout);
    if (lul_rc == 0) {  // ended in time: its exit code is kept for the host
      std::uint32_t exit_code = 0;
      if (getexitcodeprocess(lstr_proc.ul_process, exit_code)) last_exit_code_ = exit_code;
    } else if (lul_rc == wait_timeout) {
      last_run_timed_out_ = true;
      terminateprocess(lstr_proc.ul_process, 0);
      messagebox("Wait Timeout", to_text(static_cast<std::int64_t>(lul_rc)), msg_icon::stop);
    } else if (lul_rc == wait_failed) {
      lul_rc = getlasterror();
      messagebox("Wait Failed", to_text(static_cast<std::int64_t>(lul_rc)), msg_icon::stop);
    }
  }

  lb_rc = closehandle(lstr_proc.ul_process);
  if (lstr_proc.ul_thread != 0) closehandle(lstr_proc.ul_thread);

  // Put the installer back, from its temporary name only if it is still there.
  if (lb_rename && files::file_exists(ls_dest_file)) {
    files::file_delete(ls_src_file);
    files::file_move(ls_dest_file, ls_src_file);
  }

  if (lb_rc) li_return = 1;
  if (ab_hide) istr_startupinfo.ul_flags = lul_flags;
  return li_return;
}

}  // namespace api32
