// ziplib_unzip_archive.hpp - the archive object behind an unzip handle, and the Zip64 sizes that the system's
// minizip does not read.
#pragma once

#include <unzip.h>

#include <cstdint>
#include <string>
#include <vector>

namespace api32::unzipbinding {

/// What the binding checks itself for an entry whose sizes came from its Zip64 extra field: minizip then
/// works with the 32-bit placeholders (0xFFFFFFFF), so it neither stops at the entry's real end nor checks
/// the CRC at close.
struct entry_check {
  bool active = false;
  std::uint64_t expected_size = 0;
  std::uint32_t expected_crc = 0;
  std::uint64_t delivered = 0;
  std::uint32_t crc = 0;
};

/// An archive open for reading; closing the handle (or the table dropping it) closes the archive. An archive
/// without entries has no minizip file (minizip cannot open one, see read_empty_archive), only its comment.
struct unzip_archive {
  unzFile file = nullptr;
  std::string empty_archive_comment;
  std::vector<char> name_buffer = std::vector<char>(0x10000);  // an entry name is at most 65535 bytes
  std::vector<char> text_buffer;                               // comments and extra fields
  std::vector<char> extra_buffer;                              // Zip64 extra fields
  entry_check check;
  unzip_archive() = default;
  unzip_archive(const unzip_archive&) = delete;
  unzip_archive& operator=(const unzip_archive&) = delete;
  ~unzip_archive() {
    if (file) unzClose(file);
  }
};

/// Replaces the sizes that `info` (the current entry's) holds as 0xFFFFFFFF placeholders by the 64-bit values
/// of the entry's Zip64 extra field; true when it replaced one. minizip 1.1 as built here compares the
/// placeholders against a 64-bit all-ones value and so never takes them from there itself.
bool apply_zip64_sizes(unzip_archive& archive, unz_file_info64& info);

/// Opens the archive at the Windows path `path` with minizip, reading through the runtime's files with a
/// read-ahead window (ziplib_unzip_io.cpp); null when it cannot be opened or is not an archive.
unzFile open_archive_file(const std::string& path);

/// True when the file at the Windows path `path` is a zip archive without entries: nothing but its end
/// record (and comment), which minizip refuses, since it takes an end record at offset 0 for "none found".
/// `comment` receives the archive's comment.
bool read_empty_archive(const std::string& path, std::string& comment);

}  // namespace api32::unzipbinding
