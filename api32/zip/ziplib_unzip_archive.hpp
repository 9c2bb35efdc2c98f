// ziplib_unzip_archive.hpp - the archive object behind an unzip handle, and what the binding does itself for
// the Zip64 fields that the system's minizip does not read.
//
// minizip 1.1 as built here compares the 32-bit placeholders (0xFFFFFFFF) of the central record against a
// 64-bit all-ones value, so it never takes the sizes and the local header's offset from the entry's Zip64
// extra field. The binding reads that field itself: the sizes for the records it hands out, and for reading
// such an entry it reads the data itself (zip64_reader), from the local header minizip finds or, for an entry
// that starts past 4 GiB, from the offset of the extra field.
#pragma once

#include <unzip.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace api32::unzipbinding {

struct archive_file;  // the file minizip reads through (ziplib_unzip_io.cpp)

/// Reads up to `size` bytes at `offset` of the archive's file; the count (short at its end), -1 on an error.
std::int64_t read_archive_bytes(archive_file& file, std::uint64_t offset, std::uint8_t* buffer, std::size_t size);

/// Reads the data of an entry with Zip64 fields: stored or deflated, from `data_start`, with the entry's
/// real sizes and CRC. Its results are those of minizip's read and close.
class zip64_reader {
public:
  zip64_reader(archive_file& file, std::uint64_t data_start, const unz_file_info64& info);
  ~zip64_reader();
  zip64_reader(const zip64_reader&) = delete;
  zip64_reader& operator=(const zip64_reader&) = delete;
  /// Up to `length` bytes into `out`: the count, 0 at the end of the data, or a negative code.
  int read(std::uint8_t* out, unsigned length);
  /// True when the entry has delivered all its bytes.
  bool at_end() const { return delivered_ == expected_size_; }
  /// UNZ_CRCERROR when all bytes were read and their CRC does not match, else UNZ_OK.
  int close() const;

private:
  int inflate_into(std::uint8_t* out, unsigned length);

  archive_file& file_;
  std::uint64_t position_;
  std::uint64_t compressed_left_;
  std::uint64_t expected_size_;
  std::uint32_t expected_crc_;
  bool deflated_;
  bool stream_ready_ = false;
  bool stream_ended_ = false;
  z_stream stream_{};
  std::vector<std::uint8_t> input_;
  std::uint64_t delivered_ = 0;
  std::uint32_t crc_ = 0;
};

/// An archive open for reading; closing the handle (or the table dropping it) closes the archive. An archive
/// without entries has no minizip file (minizip cannot open one, see read_empty_archive), only its comment.
struct unzip_archive {
  unzFile file = nullptr;
  std::string empty_archive_comment;
  std::vector<char> name_buffer = std::vector<char>(0x10000);  // an entry name is at most 65535 bytes
  std::vector<char> text_buffer;                               // comments and extra fields
  std::vector<char> extra_buffer;                              // Zip64 extra fields
  archive_file* io = nullptr;                                  // owned by minizip's file
  std::unique_ptr<zip64_reader> zip64_entry;                   // the open entry, when the binding reads it
  unzip_archive() = default;
  unzip_archive(const unzip_archive&) = delete;
  unzip_archive& operator=(const unzip_archive&) = delete;
  ~unzip_archive() { close(); }
  /// Closes the archive: minizip's result, UNZ_OK for an archive without entries.
  int close() {
    zip64_entry.reset();  // it reads through minizip's file
    int rc = file ? unzClose(file) : UNZ_OK;
    file = nullptr;
    io = nullptr;
    return rc;
  }
};

/// Replaces the sizes that `info` (the current entry's) holds as placeholders by the 64-bit values of the
/// entry's Zip64 extra field; true when it replaced one.
bool apply_zip64_sizes(unzip_archive& archive, unz_file_info64& info);

/// The offset of the current entry's local header from its Zip64 extra field, for an entry whose record
/// holds the placeholder there (it starts past 4 GiB); false when the field has none.
bool zip64_local_header(unzip_archive& archive, std::uint64_t& offset);

/// The position of an entry's data behind its local header at `offset`; false when no local header is there.
bool data_behind_local_header(archive_file& file, std::uint64_t offset, std::uint64_t& data_start);

/// Opens the archive at the Windows path `path` with minizip, reading through the runtime's files with a
/// read-ahead window (ziplib_unzip_io.cpp); null when it cannot be opened or is not an archive. `io`
/// receives the file minizip reads through.
unzFile open_archive_file(const std::string& path, archive_file** io);

/// True when the file at the Windows path `path` is a zip archive without entries: nothing but its end
/// record (and comment), which minizip refuses, since it takes an end record at offset 0 for "none found".
/// `comment` receives the archive's comment.
bool read_empty_archive(const std::string& path, std::string& comment);

}  // namespace api32::unzipbinding
