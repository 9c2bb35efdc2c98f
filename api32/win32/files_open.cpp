// files_open.cpp - OpenFile and SetFileTime on Linux: file handles are kernel objects of kind file holding a
// descriptor; file times are set with futimens.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "api32/win32/files.hpp"
#include "api32/win32/files_internal.hpp"
#include "api32/win32/files_syscalls.hpp"
#include "api32/win32/paths.hpp"

namespace api32::win32 {
namespace detail {

file_object::~file_object() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace detail

namespace {

constexpr std::uint32_t access_mask = 0x3;
constexpr std::uint32_t share_mask = 0x70;  // OF_SHARE_*: Linux has no share modes; accepted and ignored
constexpr std::uint16_t ofstruct_size = 136;

// The result of a failed OpenFile: Windows reports the code in the block as well as in the last error.
std::int32_t open_failed(os_fileopeninfo& info, DWORD code) {
  SetLastError(code);
  info.ui_dos_error = static_cast<std::uint16_t>(code);
  return HFILE_ERROR;
}

// An empty record (both halves 0), a null pointer and the all-ones value leave the time as it is.
enum class time_request { keep, set, invalid };
time_request classify(const os_filedatetime* t) {
  if (!t) return time_request::keep;
  std::uint64_t ticks = detail::to_ticks(*t);
  if (ticks == 0 || ticks == ~std::uint64_t{0}) return time_request::keep;
  return ticks < detail::filetime_limit ? time_request::set : time_request::invalid;
}

}  // namespace

// Windows: opens a file for OF_READ, OF_WRITE or OF_READWRITE (share flags allowed) and returns its handle;
// HFILE_ERROR with the code in the last error and in `ui_dos_error` otherwise, the rest of the block left as
// it was. ERROR_ACCESS_DENIED for a folder and for writing a read-only file, even for root, as Windows
// refuses administrators. On success the block holds its size (136), the fixed-disk flag and the full path.
std::int32_t OpenFile(std::string_view file_name, os_fileopeninfo* info, std::uint32_t style) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  std::uint32_t access = style & access_mask;
  if ((style & ~(access_mask | share_mask)) != 0 || access == access_mask)  // create, delete, parse, ...
    return open_failed(*info, ERROR_INVALID_PARAMETER);
  if (!detail::path_length_ok(file_name)) return open_failed(*info, ERROR_FILENAME_EXCED_RANGE);
  auto native = to_native_path(file_name);
  if (!native) return open_failed(*info, GetLastError());
  bool writing = access != OF_READ;
  int flags = (access == OF_READ    ? O_RDONLY
               : access == OF_WRITE ? O_WRONLY
                                    : O_RDWR) |
              O_CLOEXEC | O_NOCTTY |
              O_NONBLOCK;  // a FIFO must not block the open; only regular files are accepted below
  int fd = ::open(native->c_str(), flags);
  if (fd < 0) return open_failed(*info, detail::missing_path_error(*native, errno));
  auto object = std::make_shared<detail::file_object>(fd, writing);
  struct stat st;
  if (::fstat(fd, &st) != 0) return open_failed(*info, error_from_errno(errno));
  if (!S_ISREG(st.st_mode)) return open_failed(*info, ERROR_ACCESS_DENIED);
  if (writing && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return open_failed(*info, ERROR_ACCESS_DENIED);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  HANDLE handle = add_kernel_object(handle_kind::file, std::move(object));
  if (handle == 0) return open_failed(*info, ERROR_TOO_MANY_OPEN_FILES);

  info->c_length = static_cast<char>(ofstruct_size);
  info->c_fixed_disk = 1;
  info->ui_dos_error = 0;
  std::string full = to_windows_path(*native);
  std::size_t n = std::min(full.size(), sizeof info->c_pathname - 1);
  std::memcpy(info->c_pathname, full.data(), n);
  std::memset(info->c_pathname + n, 0, sizeof info->c_pathname - n);
  return static_cast<std::int32_t>(handle);
}

// Windows: sets the creation, last-access and last-write times of an open file; a null or empty record (and
// the all-ones value) leaves that time as it is. FALSE with ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (a handle
// opened for reading only) or ERROR_INVALID_PARAMETER (a time from 2^63 on). Here the times are kept to 100 ns;
// Linux cannot set a birth time, so a creation time is checked and otherwise ignored, as under Wine.
BOOL SetFileTime(HANDLE file, const os_filedatetime* creation, const os_filedatetime* last_access,
                 const os_filedatetime* last_write) {
  auto object = get_kernel_object<detail::file_object>(file, handle_kind::file);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  if (!object->writable()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE_;
  }
  time_request requests[] = {classify(creation), classify(last_access), classify(last_write)};
  if (std::find(std::begin(requests), std::end(requests), time_request::invalid) != std::end(requests)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  struct timespec times[2];
  const os_filedatetime* sources[2] = {last_access, last_write};
  for (int i = 0; i < 2; ++i) {
    if (requests[i + 1] == time_request::set)
      times[i] = detail::timespec_from_filetime(detail::to_ticks(*sources[i]));
    else
      times[i] = {0, UTIME_OMIT};
  }
  if (requests[1] == time_request::keep && requests[2] == time_request::keep) return TRUE_;
  if (file_calls().futimens(object->fd(), times) != 0) {
    set_last_error_from_errno();
    return FALSE_;
  }
  return TRUE_;
}

}  // namespace api32::win32
