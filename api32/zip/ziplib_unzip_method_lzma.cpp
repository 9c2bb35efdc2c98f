// ziplib_unzip_method_lzma.cpp - LZMA (method 14) and xz (method 95) through liblzma.
//
// An LZMA entry starts with a header of its own - version (2 bytes), length of the properties (2 bytes, 5),
// the LZMA1 properties - followed by raw LZMA1 data with or without an end marker. The dictionary it asks
// for is cut to the entry's size (no match reaches back further than the data's start), so a small entry
// claiming a huge dictionary takes little memory; what remains is bounded by decoder_memory_limit.
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "api32/zip/ziplib_unzip_methods.hpp"

namespace api32::unzipbinding {
namespace {

int code_of(lzma_ret rc) {
  switch (rc) {
    case LZMA_OK:
    case LZMA_BUF_ERROR:  // no progress without more input
      return 0;
    case LZMA_STREAM_END:
      return 1;
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR:
      return Z_MEM_ERROR;
    default:  // LZMA_FORMAT_ERROR, LZMA_OPTIONS_ERROR, LZMA_DATA_ERROR, ...
      return Z_DATA_ERROR;
  }
}

// Runs liblzma on one step's buffers.
decode_step run(lzma_stream& stream, const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                std::size_t out_size) {
  stream.next_in = in;
  stream.avail_in = in_size;
  stream.next_out = out;
  stream.avail_out = out_size;
  lzma_ret rc = lzma_code(&stream, LZMA_RUN);
  return {in_size - stream.avail_in, out_size - stream.avail_out, code_of(rc)};
}

class xz_decoder final : public method_decoder {
public:
  xz_decoder() { ready_ = lzma_stream_decoder(&stream_, decoder_memory_limit, 0) == LZMA_OK; }
  ~xz_decoder() override { lzma_end(&stream_); }
  xz_decoder(const xz_decoder&) = delete;
  xz_decoder& operator=(const xz_decoder&) = delete;

  decode_step decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out, std::size_t out_size) override {
    if (!ready_) return {0, 0, Z_MEM_ERROR};
    return run(stream_, in, in_size, out, out_size);
  }

private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
  bool ready_ = false;
};

class lzma_decoder final : public method_decoder {
public:
  explicit lzma_decoder(std::uint64_t uncompressed_size) : uncompressed_size_(uncompressed_size) {}
  ~lzma_decoder() override { lzma_end(&stream_); }
  lzma_decoder(const lzma_decoder&) = delete;
  lzma_decoder& operator=(const lzma_decoder&) = delete;

  decode_step decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out, std::size_t out_size) override {
    decode_step step;
    if (!started_) {  // the entry's own header first, however the input arrives
      std::size_t n = std::min(in_size, sizeof header_ - header_size_);
      std::memcpy(header_ + header_size_, in, n);
      header_size_ += n;
      step.consumed = n;
      if (header_size_ < sizeof header_) return step;
      if (int rc = start(); rc != 0) {
        step.code = rc;
        return step;
      }
      in += n;
      in_size -= n;
    }
    decode_step rest = run(stream_, in, in_size, out, out_size);
    rest.consumed += step.consumed;
    return rest;
  }

private:
  int start() {
    started_ = true;
    unsigned properties_size = static_cast<unsigned>(header_[2] | (header_[3] << 8));
    if (properties_size != 5) return Z_DATA_ERROR;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, header_ + 4, properties_size) != LZMA_OK) return Z_DATA_ERROR;
    auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
    std::uint64_t needed = std::max<std::uint64_t>(uncompressed_size_, LZMA_DICT_SIZE_MIN);
    if (options->dict_size > needed) options->dict_size = static_cast<std::uint32_t>(needed);
    int rc = 0;
    if (lzma_raw_decoder_memusage(filters) > decoder_memory_limit)
      rc = Z_MEM_ERROR;
    else
      rc = code_of(lzma_raw_decoder(&stream_, filters));
    std::free(options);  // liblzma allocated it with the default allocator
    return rc;
  }

  std::uint64_t uncompressed_size_;
  lzma_stream stream_ = LZMA_STREAM_INIT;
  std::uint8_t header_[9] = {};
  std::size_t header_size_ = 0;
  bool started_ = false;
};

}  // namespace

std::unique_ptr<method_decoder> make_lzma_decoder(std::uint64_t uncompressed_size) {
  return std::make_unique<lzma_decoder>(uncompressed_size);
}
std::unique_ptr<method_decoder> make_xz_decoder() { return std::make_unique<xz_decoder>(); }

}  // namespace api32::unzipbinding
