// ziplib_unzip_io.cpp - the archive's file, read at positions through two read-ahead windows.
#include <algorithm>
#include <cstring>

#include "api32/host/files.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32::unzipbinding {
namespace {

constexpr std::size_t window_size = 64 * 1024;

}  // namespace

std::unique_ptr<archive_file> archive_file::open(const std::string& path) {
  std::int32_t number = files::file_open(path, files::file_access::read);
  if (number < 0) return nullptr;
  std::int64_t length = files::file_length(path);
  if (length < 0) {
    files::file_close(number);
    return nullptr;
  }
  return std::unique_ptr<archive_file>(new archive_file(number, static_cast<std::uint64_t>(length)));
}

archive_file::archive_file(std::int32_t number, std::uint64_t size) : number_(number), size_(size) {}

archive_file::~archive_file() { files::file_close(number_); }

std::int64_t archive_file::read_at(std::uint64_t offset, void* buffer, std::size_t size) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    std::uint64_t position = offset + done;
    if (position < offset || position >= size_) break;  // past the end (or an offset that wraps around)
    if (!windows_[current_].holds(position) && windows_[1 - current_].holds(position)) current_ = 1 - current_;
    if (const window& w = windows_[current_]; w.holds(position)) {
      auto at = static_cast<std::size_t>(position - w.start);
      std::size_t n = std::min(w.length - at, size - done);
      std::memcpy(out + done, w.bytes.data() + at, n);
      done += n;
      continue;
    }
    if (size - done >= window_size) {  // a large read goes straight to the caller's buffer
      std::int64_t n = files::file_read_at(number_, position, out + done, size - done);
      if (n < 0) return -1;
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
      continue;
    }
    window& refill = windows_[1 - current_];
    if (refill.bytes.empty()) refill.bytes.resize(window_size);
    std::int64_t n = files::file_read_at(number_, position, refill.bytes.data(), window_size);
    if (n < 0) return -1;
    if (n == 0) break;
    refill.start = position;
    refill.length = static_cast<std::size_t>(n);
    current_ = 1 - current_;
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace api32::unzipbinding
