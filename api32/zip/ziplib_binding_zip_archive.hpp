// ziplib_binding_zip_archive.hpp - an archive open for writing, as the minizip binding keeps it.
#pragma once

#include <zlib.h>

#include <minizip/zip.h>

#include <cstdint>
#include <memory>
#include <string>

namespace api32::ziplib {

/// An archive open for writing over minizip. Deflated entries are compressed here, with one deflate state for
/// the whole archive that is reset for each entry, and handed to minizip raw: minizip would set up and free a
/// fresh state (a quarter of a megabyte) for every entry, and for many small files that churn, and the memory
/// the C library hands back to the system after each entry, costs more than the compression itself.
/// Entries of other methods go through minizip unchanged. Results are minizip's codes.
class zip_writer_archive {
public:
  /// Opens (creates, with append 0) the archive; null when minizip cannot.
  static std::shared_ptr<zip_writer_archive> open(const std::string& native_path, int append);
  ~zip_writer_archive();
  zip_writer_archive(const zip_writer_archive&) = delete;
  zip_writer_archive& operator=(const zip_writer_archive&) = delete;

  /// zipOpenNewFileInZip4_64's arguments; an entry still open is closed first, as minizip does.
  int open_entry(const char* name, const ::zip_fileinfo& info, const void* extra_local, uInt size_extra_local,
                 const void* extra_global, uInt size_extra_global, const char* comment, int method, int level,
                 unsigned long flags, int zip64);
  int write(const std::uint8_t* data, unsigned length);
  int close_entry();
  /// Closes an entry still open, writes the central directory and the comment, and closes the file; every
  /// later call answers ZIP_PARAMERROR.
  int close(const char* comment);

private:
  zip_writer_archive() = default;
  int prepare_deflater(int level);
  int flush_output();

  zipFile file_ = nullptr;
  z_stream deflater_{};
  bool deflater_ready_ = false;
  int deflater_level_ = 0;
  bool deflating_ = false;  // a deflated entry is open
  uLong crc_ = 0;
  ZPOS64_T uncompressed_ = 0;
  std::unique_ptr<Bytef[]> output_;
};

}  // namespace api32::ziplib
