// files_descriptor.hpp - the one owner of file descriptors inside the library and its tools: closed when the
// object goes away, handed on by moving.
#pragma once

#include <cstddef>
#include <cstdint>

namespace api32::win32 {

/// A file descriptor closed when the object goes away.
class unique_fd {
public:
  unique_fd() = default;
  explicit unique_fd(int fd) : fd_(fd) {}
  ~unique_fd();
  unique_fd(unique_fd&& other) noexcept : fd_(other.release()) {}
  unique_fd& operator=(unique_fd&& other) noexcept;
  unique_fd(const unique_fd&) = delete;
  unique_fd& operator=(const unique_fd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  /// Closes now; false when close reports an error (a write that did not reach the file).
  bool close();

private:
  int fd_ = -1;
};

/// Writes all of `n` bytes to a descriptor, retrying short and interrupted writes; false with errno set.
bool write_all(int fd, const std::uint8_t* data, std::size_t n);

}  // namespace api32::win32
