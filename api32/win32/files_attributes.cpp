// files_attributes.cpp - GetFileAttributesA and SetFileAttributesA on Linux: read-only is the absence of
// write permission, hidden/system/archive live in the user.DOSATTRIB extended attribute as Samba and Wine
// keep them, and a name with a leading dot is hidden.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "api32/win32/files.hpp"
#include "api32/win32/files_internal.hpp"
#include "api32/win32/files_syscalls.hpp"
#include "api32/win32/paths.hpp"

namespace api32::win32 {
namespace detail {
namespace {

constexpr const char* dos_attrib_name = "user.DOSATTRIB";
constexpr DWORD stored_bits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr mode_t write_bits = S_IWUSR | S_IWGRP | S_IWOTH;

bool unsupported(int err) { return err == ENOTSUP || err == EOPNOTSUPP; }

// The stored DOS attributes; nullopt when there are none, they cannot be read or are in an unknown form.
std::optional<DWORD> read_dos_attrib(const std::string& native_path) {
  char value[256];
  ssize_t n = file_calls().getxattr(native_path.c_str(), dos_attrib_name, value, sizeof value);
  if (n < 0) return std::nullopt;
  return parse_dos_attrib(std::string_view(value, static_cast<std::size_t>(n)));
}

// The process's file-mode creation mask, read without changing it (umask() would, for every thread).
mode_t current_umask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
  }
  return 022;
}

}  // namespace

std::optional<DWORD> parse_dos_attrib(std::string_view value) {
  if (value.size() < 3 || value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) return std::nullopt;
  DWORD bits = 0;
  std::size_t i = 2;
  for (; i < value.size() && value[i] != '\0'; ++i) {
    char c = value[i];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0 || i >= 10) return std::nullopt;  // not hex, or more than eight digits
    bits = (bits << 4) | static_cast<DWORD>(digit);
  }
  if (i == 2) return std::nullopt;
  return bits;
}

DWORD attributes_of(const std::string& native_path, const file_status& status) {
  bool folder = S_ISDIR(status.mode);
  DWORD attributes = 0;
  if (folder)
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  else if ((status.mode & write_bits) == 0)
    attributes |= FILE_ATTRIBUTE_READONLY;
  if (auto stored = read_dos_attrib(native_path))
    attributes |= *stored & stored_bits;
  else if (!folder)
    attributes |= FILE_ATTRIBUTE_ARCHIVE;
  std::string_view name = base_name(native_path);
  if (name.size() > 1 && name.front() == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

}  // namespace detail

// Windows: the attribute bits of a file or folder, INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when it is missing. Here read-only comes from the permission bits and the other bits
// from user.DOSATTRIB; a file without that attribute reads as ARCHIVE, a folder as DIRECTORY, as Wine has it.
DWORD GetFileAttributesA(std::string_view file_name) {
  if (!detail::path_length_ok(file_name)) return INVALID_FILE_ATTRIBUTES;
  auto native = to_native_path(file_name);
  if (!native) return INVALID_FILE_ATTRIBUTES;
  detail::file_status status;
  if (!detail::query_status(*native, status)) {
    SetLastError(detail::missing_path_error(*native, errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return detail::attributes_of(*native, status);
}

// Windows: sets READONLY, HIDDEN, SYSTEM, ARCHIVE (NORMAL alone clears them); FALSE with ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND or ERROR_ACCESS_DENIED. Here read-only is the write permission bits (folders ignore it, as
// under Wine) and the rest goes to user.DOSATTRIB; a file system without extended attributes keeps only the
// permission change, and the call succeeds, as under Wine.
BOOL SetFileAttributesA(std::string_view file_name, DWORD attributes) {
  using namespace detail;
  if (!path_length_ok(file_name)) return FALSE_;
  auto native = to_native_path(file_name);
  if (!native) return FALSE_;
  struct stat st;
  if (::stat(native->c_str(), &st) != 0) {
    SetLastError(missing_path_error(*native, errno));
    return FALSE_;
  }
  bool folder = S_ISDIR(st.st_mode);
  mode_t mode = st.st_mode & 07777;
  if (!folder) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
      mode &= ~write_bits;
    else if ((mode & write_bits) == 0)
      mode |= (S_IWUSR | ((mode & (S_IRGRP | S_IROTH)) >> 1)) & ~current_umask();
  }

  auto change_mode = [&]() -> bool {
    if (mode == (st.st_mode & 07777)) return true;
    if (::chmod(native->c_str(), mode) == 0) return true;
    set_last_error_from_errno();
    return false;
  };
  auto store_dos_bits = [&]() -> bool {
    DWORD wanted = attributes & stored_bits;
    std::optional<DWORD> old = read_dos_attrib(*native);
    DWORD as_read_without = folder ? 0 : FILE_ATTRIBUTE_ARCHIVE;
    if (old ? (*old & stored_bits) == wanted : wanted == as_read_without) return true;  // nothing to change
    // bits we do not manage (Samba's other flags) are kept; read-only is never stored, the mode holds it
    DWORD value = (old.value_or(0) & ~(stored_bits | FILE_ATTRIBUTE_READONLY)) | wanted;
    char text[16];
    int length = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    if (file_calls().setxattr(native->c_str(), dos_attrib_name, text, static_cast<std::size_t>(length), 0) == 0)
      return true;
    if (unsupported(errno)) return true;  // the file system cannot keep them
    set_last_error_from_errno();
    return false;
  };
  // Extended attributes of the "user" class need write permission: store them while the file is writable.
  bool becomes_writable = (mode & write_bits) != 0;
  bool ok = becomes_writable ? change_mode() && store_dos_bits() : store_dos_bits() && change_mode();
  return ok ? TRUE_ : FALSE_;
}

}  // namespace api32::win32
