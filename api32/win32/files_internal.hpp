// files_internal.hpp - helpers shared by the file, search, attribute and file-time calls of the stand-in.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "api32/win32/file_records.hpp"
#include "api32/win32/kernel_object.hpp"

namespace api32::win32::detail {

/// An open file: the kernel object behind an OpenFile handle. Closing the handle closes the descriptor.
class file_object final : public kernel_object {
public:
  file_object(int fd, bool writable) : fd_(fd), writable_(writable) {}
  ~file_object() override;
  file_object(const file_object&) = delete;
  file_object& operator=(const file_object&) = delete;
  int fd() const { return fd_; }
  bool writable() const { return writable_; }

private:
  int fd_;
  bool writable_;
};

// ---- FILETIME arithmetic
inline constexpr std::uint64_t ticks_per_second = 10'000'000;
inline constexpr std::int64_t seconds_1601_to_1970 = 11'644'473'600;
/// FILETIME values from 2^63 on are out of range for every call that converts them.
inline constexpr std::uint64_t filetime_limit = 0x8000'0000'0000'0000ull;

inline std::uint64_t to_ticks(const os_filedatetime& t) {
  return (static_cast<std::uint64_t>(t.ul_highdatetime) << 32) | t.ul_lowdatetime;
}
inline os_filedatetime from_ticks(std::uint64_t ticks) {
  return os_filedatetime{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}
/// A POSIX time as a FILETIME, truncated to 100 ns; times before 1601 give the empty time.
os_filedatetime filetime_from_timespec(const struct timespec& t);
/// A FILETIME below filetime_limit as a POSIX time.
struct timespec timespec_from_filetime(std::uint64_t ticks);

// ---- paths
/// Windows ANSI calls take at most 260 characters; false with ERROR_FILENAME_EXCED_RANGE beyond that.
bool path_length_ok(std::string_view windows_path);
/// The last error for a path that could not be reached: ERROR_PATH_NOT_FOUND when its folder is missing (or
/// not a folder), else the code for `err` (ENOENT -> ERROR_FILE_NOT_FOUND).
DWORD missing_path_error(const std::string& native_path, int err);
/// The last component of a native path ("" for "/").
std::string_view base_name(std::string_view native_path);

// ---- file status
struct file_status {
  mode_t mode = 0;
  std::uint64_t size = 0;
  struct timespec access {};
  struct timespec write {};
  struct timespec creation {};  ///< birth time where the file system keeps one, else the change time
};
/// The status of a file, following symbolic links (a dangling link reports itself); false with errno set.
bool query_status(const std::string& native_path, file_status& status);

// ---- attributes
/// The Windows attributes of a file: DIRECTORY for folders; READONLY when a file has no write permission bit;
/// HIDDEN, SYSTEM, ARCHIVE from user.DOSATTRIB, or ARCHIVE for a file without it; HIDDEN also for a name
/// that starts with a dot. NORMAL when no other bit is set.
DWORD attributes_of(const std::string& native_path, const file_status& status);
/// Parses a user.DOSATTRIB value: Samba 3 and Wine write "0x<hex>", Samba 4 the same text, a NUL and a binary
/// tail. Nullopt for values in neither form.
std::optional<DWORD> parse_dos_attrib(std::string_view value);

}  // namespace api32::win32::detail
