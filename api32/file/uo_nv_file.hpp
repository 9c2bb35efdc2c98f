// uo_nv_file.hpp - file timestamps and attributes: reads a file's creation or last-write time into a date and
// a time, sets its last-write time, and resets its attributes to normal, over the KERNEL32 file calls.
//
// Results are 1 for success and -1 for failure (of_setfileattribute_normal always gives 1); a failed read
// leaves the caller's date and time as they were. Times are UTC unless a function's name ends in "local".
#pragma once

#include <cstdint>
#include <string>

#include "api32/runtime/values.hpp"
#include "api32/win32/file_records.hpp"

namespace api32 {

class uo_nv_file {
public:
  // the Win32 attribute bits
  static constexpr std::uint32_t file_attribute_readonly = 1;
  static constexpr std::uint32_t file_attribute_hidden = 2;
  static constexpr std::uint32_t file_attribute_system = 4;
  static constexpr std::uint32_t file_attribute_archive = 32;
  static constexpr std::uint32_t file_attribute_normal = 128;

  uo_nv_file() = default;
  ~uo_nv_file() = default;

  // ---- conversions between file times and the host's date and time
  std::int16_t of_convertfiledatetimetopb(os_filedatetime astr_filetime, api32::date& ad_filedate,
                                          api32::time& at_filetime);
  std::int16_t of_convertfiledatetimetopblocal(os_filedatetime astr_filetime, api32::date& ad_filedate,
                                               api32::time& at_filetime);
  std::int16_t of_convertpbdatetimetofile(api32::date ad_filedate, api32::time at_filetime,
                                          os_filedatetime& astr_filetime);

  // ---- file times and attributes
  std::int16_t of_getcreationdatetime(const std::string& as_filename, api32::date& ad_date, api32::time& at_time);
  std::int16_t of_getlastwritedatetime(const std::string& as_filename, api32::date& ad_date, api32::time& at_time);
  std::int16_t of_getlastwritedatetimelocal(const std::string& as_filename, api32::date& ad_date, api32::time& at_time);
  std::int16_t of_setfileattribute_normal(const std::string& as_file);
  std::int16_t of_setlastwritedatetime(const std::string& as_filename, api32::date ad_date, api32::time at_time);

private:
  bool find_file(const std::string& as_filename, os_finddata& astr_finddata);
  // KERNEL32, bound to the win32/ stand-in (file_binding_kernel32.cpp)
  std::int32_t openfile(std::string& filename, os_fileopeninfo& of_struct, std::uint32_t action);
  bool closehandle(std::int32_t file_hand);
  std::int32_t findfirstfilea(std::string& filename, os_finddata& findfiledata);
  bool filetimetosystemtime(os_filedatetime& lpfiletime, os_systemtime& lpsystemtime);
  bool filetimetolocalfiletime(os_filedatetime& lpfiletime, os_filedatetime& lplocalfiletime);
  bool findclose(std::int32_t handle);
  bool setfileattributesa(const std::string& lpfilename, std::uint32_t dwfileattributes);
  bool setfiletime(std::int32_t hfile, os_filedatetime lpcreationtime, os_filedatetime lplastaccesstime,
                   os_filedatetime lplastwritetime);
  bool systemtimetofiletime(os_systemtime lpsystemtime, os_filedatetime& lpfiletime);
  bool localfiletimetofiletime(os_filedatetime& lplocalfiletime, os_filedatetime& lpfiletime);  ///< declared, unused
};

}  // namespace api32
