// file_records.hpp - the file-time records shared by the zip library and uo_nv_file, laid out as the Win32
// FILETIME, SYSTEMTIME, WIN32_FIND_DATAA and OFSTRUCT structures.
#pragma once

#include <cstdint>

namespace api32 {

/// FILETIME: 100-nanosecond intervals since 1601-01-01 00:00 UTC; both halves 0 is the empty time.
struct os_filedatetime {
  std::uint32_t ul_lowdatetime = 0;
  std::uint32_t ul_highdatetime = 0;
};

/// SYSTEMTIME.
struct os_systemtime {
  std::uint16_t ui_wyear = 0;
  std::uint16_t ui_wmonth = 0;
  std::uint16_t ui_wdayofweek = 0;
  std::uint16_t ui_wday = 0;
  std::uint16_t ui_whour = 0;
  std::uint16_t ui_wminute = 0;
  std::uint16_t ui_wsecond = 0;
  std::uint16_t ui_wmilliseconds = 0;
};

/// WIN32_FIND_DATAA.
struct os_finddata {
  std::uint32_t ul_fileattributes = 0;
  os_filedatetime str_creationtime;
  os_filedatetime str_lastaccesstime;
  os_filedatetime str_lastwritetime;
  std::uint32_t ul_filesizehigh = 0;
  std::uint32_t ul_filesizelow = 0;
  std::uint32_t ul_reserved0 = 0;
  std::uint32_t ul_reserved1 = 0;
  char ch_filename[260] = {};
  char ch_alternatefilename[14] = {};
};

/// OFSTRUCT.
struct os_fileopeninfo {
  char c_length = 0;
  char c_fixed_disk = 0;
  std::uint16_t ui_dos_error = 0;
  std::uint16_t ui_na1 = 0;
  std::uint16_t ui_na2 = 0;
  char c_pathname[128] = {};
};

static_assert(sizeof(os_filedatetime) == 8);
static_assert(sizeof(os_systemtime) == 16);
static_assert(sizeof(os_finddata) == 320);
static_assert(sizeof(os_fileopeninfo) == 136);

}  // namespace api32
