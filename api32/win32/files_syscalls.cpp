// files_syscalls.cpp - the replaceable table of extended-attribute and file-time calls.
#include "api32/win32/files_syscalls.hpp"

#include <sys/stat.h>
#include <sys/xattr.h>

namespace api32::win32 {

file_syscalls real_file_calls() {
  return file_syscalls{
      .getxattr = [](const char* path, const char* name, void* value, std::size_t size) -> ssize_t {
        return ::getxattr(path, name, value, size);
      },
      .setxattr = [](const char* path, const char* name, const void* value, std::size_t size,
                     int flags) { return ::setxattr(path, name, value, size, flags); },
      .futimens = [](int fd, const struct timespec times[2]) { return ::futimens(fd, times); },
  };
}

file_syscalls& file_calls() {
  static file_syscalls table = real_file_calls();
  return table;
}

}  // namespace api32::win32
