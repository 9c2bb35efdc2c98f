// byte_io.hpp - owned descriptors and the random-access byte sources and sinks the RAR code reads and writes.
//
// The format code works on these interfaces only, so tests and fuzz targets can run it over memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "api32/win32/files_descriptor.hpp"

namespace rartool {

using bytes = std::vector<std::uint8_t>;

/// The library's descriptor owner, shared with the confined writer.
using unique_fd = api32::win32::unique_fd;

/// Bytes that can be read at any offset.
class input {
public:
  virtual ~input() = default;
  virtual std::uint64_t size() const = 0;
  /// Reads exactly `n` bytes at `offset`; false when they are not all there or on an I/O error.
  virtual bool read_at(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) const = 0;
};

class memory_input final : public input {
public:
  explicit memory_input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit memory_input(const bytes& data) : data_(data.data()), size_(data.size()) {}
  std::uint64_t size() const override { return size_; }
  bool read_at(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) const override;

private:
  const std::uint8_t* data_;
  std::size_t size_;
};

/// A file read with pread; the size is taken when the object is made.
class file_input final : public input {
public:
  explicit file_input(int fd);
  std::uint64_t size() const override { return size_; }
  bool read_at(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) const override;

private:
  int fd_;
  std::uint64_t size_ = 0;
};

/// A sequential sink that can also patch bytes it already wrote and cut itself back.
class output {
public:
  virtual ~output() = default;
  virtual bool write(const std::uint8_t* data, std::size_t n) = 0;
  bool write(const bytes& data) { return write(data.data(), data.size()); }
  /// Overwrites bytes already written, at `offset`; the position does not change.
  virtual bool write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t n) = 0;
  /// Drops everything from `offset` on; the position becomes `offset`.
  virtual bool truncate(std::uint64_t offset) = 0;
  virtual std::uint64_t position() const = 0;
  /// Pushes buffered bytes to their destination.
  virtual bool flush() { return true; }
};

class memory_output final : public output {
public:
  bool write(const std::uint8_t* data, std::size_t n) override;
  bool write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t n) override;
  bool truncate(std::uint64_t offset) override;
  std::uint64_t position() const override { return data_.size(); }
  const bytes& data() const { return data_; }

private:
  bytes data_;
};

/// A buffered sink over a descriptor (not owned). After a failure every call fails; `error()` keeps errno.
class file_output final : public output {
public:
  explicit file_output(int fd, std::size_t buffer_size = 1 << 20);
  bool write(const std::uint8_t* data, std::size_t n) override;
  bool write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t n) override;
  bool truncate(std::uint64_t offset) override;
  std::uint64_t position() const override { return position_; }
  bool flush() override;
  int error() const { return error_; }

private:
  bool write_through(const std::uint8_t* data, std::size_t n);
  int fd_;
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
  std::uint64_t position_ = 0;  // logical position, buffered bytes included
  int error_ = 0;
};

/// Writes all of `n` bytes to a descriptor, retrying short writes; false with errno set on failure.
using api32::win32::write_all;
/// A random name component for temporary files: 16 hex digits.
std::string random_suffix();
/// The text of an errno value.
std::string error_text(int error);

}  // namespace rartool
