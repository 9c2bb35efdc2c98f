// files_descriptor.cpp - closing owned descriptors.
#include "api32/win32/files_descriptor.hpp"

#include <unistd.h>

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

}  // namespace api32::win32
