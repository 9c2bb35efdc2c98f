// files_syscalls.hpp - the system calls of the file stand-in that a test may replace: extended attributes and
// file times. A real file system seldom fails on demand; swapping an entry forces ENOTSUP, EPERM or EIO.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>

namespace api32::win32 {

struct file_syscalls {
  ssize_t (*getxattr)(const char* path, const char* name, void* value, std::size_t size);
  int (*setxattr)(const char* path, const char* name, const void* value, std::size_t size, int flags);
  int (*futimens)(int fd, const struct timespec times[2]);
};

/// The table in use; the real calls unless a test replaced it.
file_syscalls& file_calls();
/// The real calls.
file_syscalls real_file_calls();

/// Puts `replacement` in place for the object's lifetime (tests only; not thread-safe).
class scoped_file_syscalls {
public:
  explicit scoped_file_syscalls(file_syscalls replacement) : saved_(file_calls()) { file_calls() = replacement; }
  ~scoped_file_syscalls() { file_calls() = saved_; }
  scoped_file_syscalls(const scoped_file_syscalls&) = delete;
  scoped_file_syscalls& operator=(const scoped_file_syscalls&) = delete;

private:
  file_syscalls saved_;
};

}  // namespace api32::win32
