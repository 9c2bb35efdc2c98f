// files.hpp - the KERNEL32 file, search, attribute and file-time calls of the stand-in.
//
// Each call follows its Win32 contract: results as Windows returns them, the failure value, and the
// GetLastError code. Paths are Windows paths (win32/paths). Implemented in files_*.cpp and filetime_*.cpp.
#pragma once

#include <cstdint>
#include <string_view>

#include "api32/win32/file_records.hpp"
#include "api32/win32/kernel_object.hpp"

namespace api32::win32 {

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

inline constexpr std::uint32_t OF_READ = 0x0;
inline constexpr std::uint32_t OF_WRITE = 0x1;
inline constexpr std::uint32_t OF_READWRITE = 0x2;
inline constexpr std::int32_t HFILE_ERROR = -1;

/// First entry matching `file_name` ("*" and "?" allowed in the last component); INVALID_HANDLE_VALUE on
/// failure (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_FILENAME_EXCED_RANGE), `data` untouched then.
HANDLE FindFirstFileA(std::string_view file_name, os_finddata* data);
/// Next entry of a search; FALSE with ERROR_NO_MORE_FILES at the end.
BOOL FindNextFileA(HANDLE search, os_finddata* data);
BOOL FindClose(HANDLE search);
/// Opens a file (OF_READ, OF_WRITE, OF_READWRITE); a file handle as a positive number, or HFILE_ERROR.
std::int32_t OpenFile(std::string_view file_name, os_fileopeninfo* info, std::uint32_t style);
/// Sets the times of an open file; a null or empty (both halves 0) record leaves that time unchanged.
BOOL SetFileTime(HANDLE file, const os_filedatetime* creation, const os_filedatetime* last_access,
                 const os_filedatetime* last_write);
BOOL SetFileAttributesA(std::string_view file_name, DWORD attributes);
/// The attributes of a file, or INVALID_FILE_ATTRIBUTES (0xFFFFFFFF).
DWORD GetFileAttributesA(std::string_view file_name);
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

BOOL FileTimeToSystemTime(const os_filedatetime* file_time, os_systemtime* system_time);
BOOL SystemTimeToFileTime(const os_systemtime* system_time, os_filedatetime* file_time);
BOOL FileTimeToLocalFileTime(const os_filedatetime* file_time, os_filedatetime* local_file_time);
BOOL LocalFileTimeToFileTime(const os_filedatetime* local_file_time, os_filedatetime* file_time);

}  // namespace api32::win32
