// file_binding_kernel32.cpp - uo_nv_file's own KERNEL32 declarations, bound to the win32/ stand-in.
#include "api32/file/uo_nv_file.hpp"
#include "api32/win32/files.hpp"

namespace api32 {

std::int32_t uo_nv_file::openfile(std::string& filename, os_fileopeninfo& of_struct, std::uint32_t action) {
  return win32::OpenFile(filename, &of_struct, action);
}

bool uo_nv_file::closehandle(std::int32_t file_hand) {
  return win32::CloseHandle(static_cast<win32::HANDLE>(file_hand)) != 0;
}

std::int32_t uo_nv_file::findfirstfilea(std::string& filename, os_finddata& findfiledata) {
  return static_cast<std::int32_t>(win32::FindFirstFileA(filename, &findfiledata));  // failure: -1
}

bool uo_nv_file::filetimetosystemtime(os_filedatetime& lpfiletime, os_systemtime& lpsystemtime) {
  return win32::FileTimeToSystemTime(&lpfiletime, &lpsystemtime) != 0;
}

bool uo_nv_file::filetimetolocalfiletime(os_filedatetime& lpfiletime, os_filedatetime& lplocalfiletime) {
  return win32::FileTimeToLocalFileTime(&lpfiletime, &lplocalfiletime) != 0;
}

bool uo_nv_file::findclose(std::int32_t handle) { return win32::FindClose(static_cast<win32::HANDLE>(handle)) != 0; }

bool uo_nv_file::setfileattributesa(const std::string& lpfilename, std::uint32_t dwfileattributes) {
  return win32::SetFileAttributesA(lpfilename, dwfileattributes) != 0;
}

bool uo_nv_file::setfiletime(std::int32_t hfile, os_filedatetime lpcreationtime, os_filedatetime lplastaccesstime,
                             os_filedatetime lplastwritetime) {
  return win32::SetFileTime(static_cast<win32::HANDLE>(hfile), &lpcreationtime, &lplastaccesstime, &lplastwritetime) !=
         0;
}

bool uo_nv_file::systemtimetofiletime(os_systemtime lpsystemtime, os_filedatetime& lpfiletime) {
  return win32::SystemTimeToFileTime(&lpsystemtime, &lpfiletime) != 0;
}

bool uo_nv_file::localfiletimetofiletime(os_filedatetime& lplocalfiletime, os_filedatetime& lpfiletime) {
  return win32::LocalFileTimeToFileTime(&lplocalfiletime, &lpfiletime) != 0;
}

}  // namespace api32
