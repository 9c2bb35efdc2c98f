// byte_io.cpp - descriptors, pread sources, buffered and in-memory sinks.
#include "tools/rar/byte_io.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace rartool {

bool memory_input::read_at(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) const {
  if (offset > size_ || n > size_ - offset) return false;
  if (n > 0) std::memcpy(buffer, data_ + offset, n);
  return true;
}

file_input::file_input(int fd) : fd_(fd) {
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_size > 0) size_ = static_cast<std::uint64_t>(st.st_size);
}

bool file_input::read_at(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) const {
  if (offset > size_ || n > size_ - offset) return false;
  while (n > 0) {
    ssize_t got = ::pread(fd_, buffer, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    buffer += got;
    offset += static_cast<std::uint64_t>(got);
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

bool memory_output::write(const std::uint8_t* data, std::size_t n) {
  data_.insert(data_.end(), data, data + n);
  return true;
}

bool memory_output::write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t n) {
  if (offset > data_.size() || n > data_.size() - offset) return false;
  if (n > 0) std::memcpy(data_.data() + offset, data, n);
  return true;
}

bool memory_output::truncate(std::uint64_t offset) {
  if (offset > data_.size()) return false;
  data_.resize(static_cast<std::size_t>(offset));
  return true;
}

file_output::file_output(int fd, std::size_t buffer_size) : fd_(fd), buffer_(buffer_size) {}

bool file_output::write_through(const std::uint8_t* data, std::size_t n) {
  if (!write_all(fd_, data, n)) {
    error_ = errno;
    return false;
  }
  return true;
}

bool file_output::flush() {
  if (error_) return false;
  if (used_ == 0) return true;
  bool ok = write_through(buffer_.data(), used_);
  used_ = 0;
  return ok;
}

bool file_output::write(const std::uint8_t* data, std::size_t n) {
  if (error_) return false;
  position_ += n;
  if (used_ + n <= buffer_.size()) {
    if (n > 0) std::memcpy(buffer_.data() + used_, data, n);
    used_ += n;
    return true;
  }
  if (!flush()) return false;
  if (n >= buffer_.size()) return write_through(data, n);
  std::memcpy(buffer_.data(), data, n);
  used_ = n;
  return true;
}

bool file_output::write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t n) {
  if (error_) return false;
  if (offset > position_ || n > position_ - offset) return false;
  if (!flush()) return false;
  while (n > 0) {
    ssize_t put = ::pwrite(fd_, data, n, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error_ = put < 0 ? errno : EIO;
      return false;
    }
    data += put;
    offset += static_cast<std::uint64_t>(put);
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

bool file_output::truncate(std::uint64_t offset) {
  if (error_) return false;
  if (offset > position_) return false;
  if (!flush()) return false;
  if (::ftruncate(fd_, static_cast<off_t>(offset)) != 0 || ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    error_ = errno;
    return false;
  }
  position_ = offset;
  return true;
}

std::string random_suffix() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static const char digits[] = "0123456789abcdef";
  std::uint64_t value = engine();
  std::string out(16, '0');
  for (auto& c : out) {
    c = digits[value & 0xf];
    value >>= 4;
  }
  return out;
}

std::string error_text(int error) { return std::strerror(error); }

}  // namespace rartool
