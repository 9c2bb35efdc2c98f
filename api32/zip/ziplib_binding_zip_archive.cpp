// ziplib_binding_zip_archive.cpp - archives open for writing: minizip for the format, one deflate state per
// archive for the data.
#include "api32/zip/ziplib_binding_zip_archive.hpp"

namespace api32::ziplib {
namespace {

constexpr uInt output_size = 64 * 1024;  // minizip's own buffer size

// "Version made by": host 11 (NTFS, as Info-ZIP and 7-Zip number it), format 2.0. Readers take the low byte of
// external_fa as Windows attribute bits, as they do for MS-DOS, but they also trust the UTF-8 flag: Debian's
// unzip converts the name of an MS-DOS entry from the OEM code page whatever the flag says ("Übersicht.txt"
// became "+\243bersicht.txt"). Host 10 is TOPS-20 to those readers, and NTFS with format 5.0 is again taken
// as OEM by unzip.
constexpr int version_made_by_ntfs = (11 << 8) | 20;

}  // namespace

std::shared_ptr<zip_writer_archive> zip_writer_archive::open(const std::string& native_path, int append) {
  zipFile file = zipOpen64(native_path.c_str(), append);
  if (!file) return nullptr;
  std::shared_ptr<zip_writer_archive> archive(new zip_writer_archive());
  archive->file_ = file;
  return archive;
}

zip_writer_archive::~zip_writer_archive() {
  if (file_) close(nullptr);  // an abandoned archive is still finished, so it stays readable
  if (deflater_ready_) deflateEnd(&deflater_);
}

int zip_writer_archive::prepare_deflater(int level) {
  if (deflater_ready_ && deflater_level_ != level) {
    deflateEnd(&deflater_);
    deflater_ready_ = false;
  }
  if (!deflater_ready_) {
    deflater_ = z_stream{};
    int rc = deflateInit2(&deflater_, level, Z_DEFLATED, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY);
    if (rc != Z_OK) return rc;
    deflater_ready_ = true;
    deflater_level_ = level;
  } else if (deflateReset(&deflater_) != Z_OK) {
    return ZIP_INTERNALERROR;
  }
  if (!output_) output_.reset(new Bytef[output_size]);
  deflater_.next_out = output_.get();
  deflater_.avail_out = output_size;
  return Z_OK;
}

int zip_writer_archive::open_entry(const char* name, const ::zip_fileinfo& info, const void* extra_local,
                                   uInt size_extra_local, const void* extra_global, uInt size_extra_global,
                                   const char* comment, int method, int level, unsigned long flags, int zip64) {
  if (!file_) return ZIP_PARAMERROR;
  if (deflating_) {
    int rc = close_entry();
    if (rc != ZIP_OK) return rc;
  }
  bool deflated = method == Z_DEFLATED;
  if (deflated) {
    int rc = prepare_deflater(level);
    if (rc != Z_OK) return rc;
  }
  int rc = zipOpenNewFileInZip4_64(file_, name, &info, extra_local, size_extra_local, extra_global, size_extra_global,
                                   comment, method, level, deflated ? 1 : 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                   Z_DEFAULT_STRATEGY, nullptr, 0, version_made_by_ntfs, flags, zip64);
  if (rc == ZIP_OK && deflated) {
    deflating_ = true;
    crc_ = crc32(0L, Z_NULL, 0);
    uncompressed_ = 0;
  }
  return rc;
}

int zip_writer_archive::flush_output() {
  uInt pending = output_size - deflater_.avail_out;
  deflater_.next_out = output_.get();
  deflater_.avail_out = output_size;
  return pending == 0 ? ZIP_OK : zipWriteInFileInZip(file_, output_.get(), pending);
}

int zip_writer_archive::write(const std::uint8_t* data, unsigned length) {
  if (!file_) return ZIP_PARAMERROR;
  if (!deflating_) return zipWriteInFileInZip(file_, data, length);
  crc_ = crc32_z(crc_, data, length);
  uncompressed_ += length;
  deflater_.next_in = const_cast<Bytef*>(data);  // zlib does not write through next_in
  deflater_.avail_in = length;
  while (deflater_.avail_in > 0) {
    if (deflater_.avail_out == 0) {
      int rc = flush_output();
      if (rc != ZIP_OK) return rc;
    }
    if (deflate(&deflater_, Z_NO_FLUSH) == Z_STREAM_ERROR) return ZIP_INTERNALERROR;
  }
  return ZIP_OK;
}

int zip_writer_archive::close_entry() {
  if (!file_) return ZIP_PARAMERROR;
  if (!deflating_) return zipCloseFileInZip(file_);
  deflating_ = false;
  int err = ZIP_OK;
  deflater_.avail_in = 0;
  for (;;) {
    int rc = deflate(&deflater_, Z_FINISH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      err = ZIP_INTERNALERROR;
      break;
    }
    if (rc == Z_STREAM_END || deflater_.avail_out == 0) err = flush_output();
    if (rc == Z_STREAM_END || err != ZIP_OK) break;
  }
  // minizip's entry is closed whatever happened, with the sizes and CRC of the data handed in
  int closed = zipCloseFileInZipRaw64(file_, uncompressed_, crc_);
  return err != ZIP_OK ? err : closed;
}

int zip_writer_archive::close(const char* comment) {
  if (!file_) return ZIP_PARAMERROR;
  int err = deflating_ ? close_entry() : ZIP_OK;
  int rc = zipClose(file_, comment);
  file_ = nullptr;
  return err != ZIP_OK ? err : rc;
}

}  // namespace api32::ziplib
