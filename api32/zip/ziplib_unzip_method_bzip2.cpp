// ziplib_unzip_method_bzip2.cpp - bzip2 (method 12) through libbz2. A stream takes at most 3.6 MB of
// memory, whatever its block size.
#include <bzlib.h>
#include <zlib.h>

#include "api32/zip/ziplib_unzip_methods.hpp"

namespace api32::unzipbinding {
namespace {

class bzip2_decoder final : public method_decoder {
public:
  bzip2_decoder() { ready_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK; }
  ~bzip2_decoder() override {
    if (ready_) BZ2_bzDecompressEnd(&stream_);
  }
  bzip2_decoder(const bzip2_decoder&) = delete;
  bzip2_decoder& operator=(const bzip2_decoder&) = delete;

  decode_step decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out, std::size_t out_size) override {
    if (!ready_) return {0, 0, Z_MEM_ERROR};
    stream_.next_in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(in));
    stream_.avail_in = static_cast<unsigned>(in_size);
    stream_.next_out = reinterpret_cast<char*>(out);
    stream_.avail_out = static_cast<unsigned>(out_size);
    int rc = BZ2_bzDecompress(&stream_);
    decode_step step{in_size - stream_.avail_in, out_size - stream_.avail_out, 0};
    if (rc == BZ_STREAM_END)
      step.code = 1;
    else if (rc == BZ_MEM_ERROR)
      step.code = Z_MEM_ERROR;
    else if (rc != BZ_OK)
      step.code = Z_DATA_ERROR;  // BZ_DATA_ERROR, BZ_DATA_ERROR_MAGIC, ...
    return step;
  }

private:
  bz_stream stream_{};
  bool ready_ = false;
};

}  // namespace

std::unique_ptr<method_decoder> make_bzip2_decoder() { return std::make_unique<bzip2_decoder>(); }

}  // namespace api32::unzipbinding
