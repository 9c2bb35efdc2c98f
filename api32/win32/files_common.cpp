// files_common.cpp - path checks, error codes for missing paths and the status of a file (statx).
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "api32/runtime/text.hpp"
#include "api32/win32/files_internal.hpp"
#include "api32/win32/paths.hpp"

namespace api32::win32::detail {

bool path_length_ok(std::string_view windows_path) {
  if (text::len(windows_path) <= static_cast<std::int64_t>(MAX_PATH)) return true;
  SetLastError(ERROR_FILENAME_EXCED_RANGE);
  return false;
}

std::string_view base_name(std::string_view native_path) {
  while (native_path.size() > 1 && native_path.back() == '/') native_path.remove_suffix(1);
  std::size_t slash = native_path.rfind('/');
  return slash == std::string_view::npos ? native_path : native_path.substr(slash + 1);
}

DWORD missing_path_error(const std::string& native_path, int err) {
  if (err == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  if (err != ENOENT) return error_from_errno(err);
  std::string_view path = native_path;
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string_view::npos ? "." : slash == 0 ? "/" : std::string(path.substr(0, slash));
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
  return ERROR_FILE_NOT_FOUND;
}

bool query_status(const std::string& native_path, file_status& status) {
  struct statx sx;
  constexpr unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
  if (::statx(AT_FDCWD, native_path.c_str(), AT_STATX_SYNC_AS_STAT, mask, &sx) != 0) {
    int err = errno;
    if (err != ENOENT ||
        ::statx(AT_FDCWD, native_path.c_str(), AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, mask, &sx) != 0) {
      errno = err;
      return false;
    }
  }
  auto to_timespec = [](const struct statx_timestamp& t) {
    struct timespec ts {};
    ts.tv_sec = t.tv_sec;
    ts.tv_nsec = t.tv_nsec;
    return ts;
  };
  status.mode = sx.stx_mode;
  status.size = sx.stx_size;
  status.access = to_timespec(sx.stx_atime);
  status.write = to_timespec(sx.stx_mtime);
  status.creation = to_timespec((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime);
  return true;
}

}  // namespace api32::win32::detail
