// process_binding_kernel32.cpp - uo_nv_process's KERNEL32 declarations, bound to the win32/ stand-in.
//
// Address arguments arrive as 32-bit values. The class passes only null ones (0) for the application name,
// the security attributes and the inherited environment; a non-zero address there is refused with
// ERROR_INVALID_PARAMETER, as no such record exists on this side.
#include "api32/process/uo_nv_process.hpp"
#include "api32/win32/process.hpp"

namespace api32 {

namespace w = api32::win32;

os_startupinfo uo_nv_process::startupinfo_for_platform(const os_startupinfo& startupinfo) const {
  os_startupinfo handed = startupinfo;
  // A null show state means "none": the program gets its default window rather than state 0 (hidden).
  if (&startupinfo == &istr_startupinfo && ib_showwindow_null) handed.ul_flags &= ~startf_useshowwindow;
  return handed;
}

std::uint32_t uo_nv_process::waitforsingleobject(std::uint32_t handle, std::uint32_t milliseconds) {
  return w::WaitForSingleObject(handle, milliseconds);
}

bool uo_nv_process::createprocess(std::uint32_t applicationname, std::string& commandline,
                                  std::uint32_t processattributes, std::uint32_t threadattributes, bool inherithandles,
                                  std::uint32_t creationflags, std::uint32_t environment,
                                  const std::optional<std::string>& currentdirectory, os_startupinfo& startupinfo,
                                  os_process_information& processinformation) {
  if (applicationname != 0 || processattributes != 0 || threadattributes != 0 || environment != 0) {
    w::SetLastError(w::ERROR_INVALID_PARAMETER);
    return false;
  }
  os_startupinfo handed = startupinfo_for_platform(startupinfo);
  return w::CreateProcessA(nullptr, commandline.data(), nullptr, nullptr, inherithandles, creationflags, nullptr,
                           currentdirectory ? currentdirectory->c_str() : nullptr, &handed,
                           &processinformation) != w::FALSE_;
}

bool uo_nv_process::createprocessbis(std::uint32_t applicationname, std::string& commandline,
                                     std::uint32_t processattributes, std::uint32_t threadattributes,
                                     bool inherithandles, std::uint32_t creationflags, std::uint32_t& environment,
                                     const std::optional<std::string>& currentdirectory, os_startupinfo& startupinfo,
                                     os_process_information& processinformation) {
  if (applicationname != 0 || processattributes != 0 || threadattributes != 0) {
    w::SetLastError(w::ERROR_INVALID_PARAMETER);
    return false;
  }
  // The address of a 32-bit value: the platform reads it as an environment block; a zero is an empty one.
  os_startupinfo handed = startupinfo_for_platform(startupinfo);
  return w::CreateProcessA(nullptr, commandline.data(), nullptr, nullptr, inherithandles, creationflags, &environment,
                           currentdirectory ? currentdirectory->c_str() : nullptr, &handed,
                           &processinformation) != w::FALSE_;
}

bool uo_nv_process::closehandle(std::uint32_t object) { return w::CloseHandle(object) != w::FALSE_; }

std::uint32_t uo_nv_process::getlasterror() { return w::GetLastError(); }

bool uo_nv_process::terminateprocess(std::uint32_t process, std::uint16_t exitcode) {
  return w::TerminateProcess(process, exitcode) != w::FALSE_;
}

bool uo_nv_process::getexitcodeprocess(std::uint32_t process, std::uint32_t& exitcode) {
  w::DWORD code = 0;
  if (w::GetExitCodeProcess(process, &code) == w::FALSE_) return false;
  exitcode = code;
  return true;
}

std::uint32_t uo_nv_process::openprocess(std::uint32_t dwdesiredaccess, bool binherithandle,
                                         std::uint32_t dwprocessid) {
  return w::OpenProcess(dwdesiredaccess, binherithandle ? w::TRUE_ : w::FALSE_, dwprocessid);
}

std::uint32_t uo_nv_process::createtoolhelp32snapshot(std::int32_t dwflags, std::int32_t th32processid) {
  return w::CreateToolhelp32Snapshot(static_cast<std::uint32_t>(dwflags), static_cast<std::uint32_t>(th32processid));
}

bool uo_nv_process::process32first(std::uint32_t hsnapshot, str_processentry32& lppe) {
  return w::Process32First(hsnapshot, &lppe) != w::FALSE_;
}

bool uo_nv_process::process32next(std::uint32_t hsnapshot, str_processentry32& lppe) {
  return w::Process32Next(hsnapshot, &lppe) != w::FALSE_;
}

}  // namespace api32
