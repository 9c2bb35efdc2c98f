// last_error.cpp - the thread-local last error and the mapping from POSIX errors to Win32 codes.
#include "api32/win32/last_error.hpp"

#include <cerrno>

namespace api32::win32 {
namespace {
thread_local DWORD last_error = ERROR_SUCCESS;
}

DWORD GetLastError() noexcept { return last_error; }
void SetLastError(DWORD code) noexcept { last_error = code; }

DWORD error_from_errno(int err) noexcept {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case ENOEXEC: return ERROR_BAD_FORMAT;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOTSUP: return ERROR_NOT_SUPPORTED;
    case ELOOP: return ERROR_INVALID_NAME;
    case EIO: return ERROR_READ_FAULT;
    default: return ERROR_INVALID_FUNCTION;
  }
}

DWORD set_last_error_from_errno() noexcept {
  DWORD code = error_from_errno(errno);
  SetLastError(code);
  return code;
}

}  // namespace api32::win32
