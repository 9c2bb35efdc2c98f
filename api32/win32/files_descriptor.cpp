// files_descriptor.cpp - closing owned descriptors.
#include "api32/win32/files_descriptor.hpp"

#include <unistd.h>

#include <cerrno>

namespace api32::win32 {

unique_fd::~unique_fd() { close(); }

unique_fd& unique_fd::operator=(unique_fd&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.release();
  }
  return *this;
}

bool unique_fd::close() {
  if (fd_ < 0) return true;
  int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0;
}

bool write_all(int fd, const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    ssize_t put = ::write(fd, data, n);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return false;
    if (put == 0) {
      errno = EIO;
      return false;
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace api32::win32
