// ziplib_unzip_empty.cpp - recognises a zip archive without entries (an end record and its comment only).
#include <algorithm>
#include <array>

#include "api32/runtime/files.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32::unzipbinding {
namespace {

constexpr std::size_t end_record_size = 22;
constexpr std::size_t max_comment = 0xFFFF;

unsigned little_endian16(const std::uint8_t* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }

// Closes a runtime file number when it goes out of scope.
struct open_file {
  std::int32_t number;
  ~open_file() {
    if (number > 0) files::file_close(number);
  }
};

}  // namespace

bool read_empty_archive(const std::string& path, std::string& comment) {
  std::int64_t length = files::file_length(path);
  if (length < static_cast<std::int64_t>(end_record_size) ||
      length > static_cast<std::int64_t>(end_record_size + max_comment))
    return false;
  open_file file{files::file_open(path, files::file_access::read)};
  if (file.number < 0) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  std::size_t got = 0;
  while (got < bytes.size()) {
    std::int64_t n = files::file_read_some(file.number, bytes.data() + got, bytes.size() - got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  const std::uint8_t* end = bytes.data();
  static constexpr std::array<std::uint8_t, 4> signature{'P', 'K', 5, 6};
  if (!std::equal(signature.begin(), signature.end(), end)) return false;
  // disk numbers, entry counts, directory size and offset all 0; the comment fills the rest of the file
  for (std::size_t i = 4; i < 20; ++i)
    if (end[i] != 0) return false;
  if (little_endian16(end + 20) != bytes.size() - end_record_size) return false;
  comment.assign(reinterpret_cast<const char*>(end + end_record_size), bytes.size() - end_record_size);
  return true;
}

}  // namespace api32::unzipbinding
