// ziplib_unzip_zip64_reader.cpp - reads the data of an entry with Zip64 fields, stored or deflated, with its
// real sizes and CRC: minizip, which works with the 32-bit placeholders there, would stop 4 GiB into such an
// entry, or not stop at its end.
#include <algorithm>

#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32::unzipbinding {
namespace {

constexpr std::size_t input_size = 64 * 1024;

}  // namespace

zip64_reader::zip64_reader(archive_file& file, std::uint64_t data_start, const unz_file_info64& info)
    : file_(file),
      position_(data_start),
      compressed_left_(info.compressed_size),
      expected_size_(info.uncompressed_size),
      expected_crc_(static_cast<std::uint32_t>(info.crc)),
      deflated_(info.compression_method == Z_DEFLATED) {
  if (deflated_) {
    input_.resize(input_size);
    stream_ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;  // raw deflate, as in zip entries
  }
}

zip64_reader::~zip64_reader() {
  if (stream_ready_) inflateEnd(&stream_);
}

int zip64_reader::read(std::uint8_t* out, unsigned length) {
  length = static_cast<unsigned>(std::min<std::uint64_t>(length, expected_size_ - delivered_));
  if (length == 0) return 0;
  int count;
  if (deflated_) {
    count = inflate_into(out, length);
  } else {
    auto n = static_cast<std::size_t>(std::min<std::uint64_t>(length, compressed_left_));
    if (n > 0 && read_archive_bytes(file_, position_, out, n) != static_cast<std::int64_t>(n)) return UNZ_ERRNO;
    position_ += n;
    compressed_left_ -= n;
    count = static_cast<int>(n);
  }
  if (count > 0) {
    crc_ = static_cast<std::uint32_t>(crc32(crc_, out, static_cast<uInt>(count)));
    delivered_ += static_cast<std::uint64_t>(count);
  }
  return count;
}

int zip64_reader::inflate_into(std::uint8_t* out, unsigned length) {
  if (!stream_ready_) return UNZ_INTERNALERROR;
  if (stream_ended_) return 0;
  stream_.next_out = out;
  stream_.avail_out = length;
  while (stream_.avail_out > 0) {
    if (stream_.avail_in == 0) {
      if (compressed_left_ == 0) break;  // the data ends here
      auto n = static_cast<std::size_t>(std::min<std::uint64_t>(input_size, compressed_left_));
      if (read_archive_bytes(file_, position_, input_.data(), n) != static_cast<std::int64_t>(n)) return UNZ_ERRNO;
      position_ += n;
      compressed_left_ -= n;
      stream_.next_in = input_.data();
      stream_.avail_in = static_cast<uInt>(n);
    }
    int rc = inflate(&stream_, Z_SYNC_FLUSH);
    if (rc == Z_STREAM_END) {
      stream_ended_ = true;
      break;
    }
    if (rc != Z_OK) return rc == Z_BUF_ERROR ? UNZ_BADZIPFILE : rc;  // Z_DATA_ERROR, Z_MEM_ERROR, ...
  }
  return static_cast<int>(length - stream_.avail_out);
}

int zip64_reader::close() const { return at_end() && crc_ != expected_crc_ ? UNZ_CRCERROR : UNZ_OK; }

}  // namespace api32::unzipbinding
