// ziplib_unzip_method_zlib.cpp - stored data (copied as it is) and deflate (zlib's raw inflate).
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "api32/zip/ziplib_unzip_methods.hpp"

namespace api32::unzipbinding {
namespace {

class stored_decoder final : public method_decoder {
public:
  decode_step decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out, std::size_t out_size) override {
    std::size_t n = std::min(in_size, out_size);
    if (n > 0) std::memcpy(out, in, n);
    return {n, n, 0};
  }
};

class deflate_decoder final : public method_decoder {
public:
  deflate_decoder() { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }  // raw deflate, as in zip entries
  ~deflate_decoder() override {
    if (ready_) inflateEnd(&stream_);
  }
  deflate_decoder(const deflate_decoder&) = delete;
  deflate_decoder& operator=(const deflate_decoder&) = delete;

  decode_step decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out, std::size_t out_size) override {
    if (!ready_) return {0, 0, Z_MEM_ERROR};
    // a block is at most 64 KiB of input and 32 KiB of output: both fit zlib's counts
    stream_.next_in = const_cast<Bytef*>(in);
    stream_.avail_in = static_cast<uInt>(in_size);
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(out_size);
    int rc = inflate(&stream_, Z_SYNC_FLUSH);
    decode_step step{in_size - stream_.avail_in, out_size - stream_.avail_out, 0};
    if (rc == Z_STREAM_END)
      step.code = 1;
    else if (rc == Z_NEED_DICT)
      step.code = Z_DATA_ERROR;  // zip entries have no preset dictionary
    else if (rc != Z_OK && rc != Z_BUF_ERROR)
      step.code = rc;  // Z_BUF_ERROR: no progress without more input
    return step;
  }

private:
  z_stream stream_{};
  bool ready_ = false;
};

}  // namespace

std::unique_ptr<method_decoder> make_stored_decoder() { return std::make_unique<stored_decoder>(); }
std::unique_ptr<method_decoder> make_deflate_decoder() { return std::make_unique<deflate_decoder>(); }

}  // namespace api32::unzipbinding
