// process_records.hpp - the records of uo_nv_process, laid out as the Win32 STARTUPINFOA,
// PROCESS_INFORMATION and PROCESSENTRY32 structures of 32-bit Windows.
//
// Text fields (lpReserved, lpDesktop, lpTitle) and lpReserved2 are 32-bit address values: 0 is the null
// address. Nothing on this platform reads them; CreateProcessA accepts them and lets them be.
#pragma once

#include <cstdint>

namespace api32 {

/// STARTUPINFOA: how the new process's window starts. `ul_flags` says which fields apply.
struct os_startupinfo {
  std::uint32_t ul_cb = 0;
  std::uint32_t s_reserved = 0;  ///< address of a text; 0 = null
  std::uint32_t s_desktop = 0;   ///< address of a text; 0 = the default desktop, as an empty text means
  std::uint32_t s_title = 0;     ///< address of a text; 0 = null
  std::uint32_t ul_x = 0;
  std::uint32_t ul_y = 0;
  std::uint32_t ul_xsize = 0;
  std::uint32_t ul_ysize = 0;
  std::uint32_t ul_xcountchars = 0;
  std::uint32_t ul_ycountchars = 0;
  std::uint32_t ul_fillattribute = 0;
  std::uint32_t ul_flags = 0;
  std::uint16_t ui_showwindow = 0;
  std::uint16_t ui_reserved2 = 0;
  std::int32_t l_reserved2 = 0;  ///< an address; 0 = null
  std::uint32_t ul_stdinput = 0;
  std::uint32_t ul_stdoutput = 0;
  std::uint32_t ul_stderror = 0;
};

/// PROCESS_INFORMATION: filled by a successful CreateProcessA.
struct os_process_information {
  std::uint32_t ul_process = 0;
  std::uint32_t ul_thread = 0;
  std::uint32_t ul_processid = 0;
  std::uint32_t ul_threadid = 0;
};

/// PROCESSENTRY32: one process of a tool-help snapshot.
struct str_processentry32 {
  std::uint32_t dwsize = 0;
  std::uint32_t cntusage = 0;
  std::uint32_t th32processid = 0;
  std::uint32_t th32defaultheapid = 0;
  std::uint32_t th32moduleid = 0;
  std::uint32_t cntthreads = 0;
  std::uint32_t th32parentprocessid = 0;
  std::int32_t pcpriclassbase = 0;
  std::uint32_t dwflags = 0;
  char szexefile[260] = {};
};

static_assert(sizeof(os_startupinfo) == 68);
static_assert(sizeof(os_process_information) == 16);
static_assert(sizeof(str_processentry32) == 296);

}  // namespace api32
