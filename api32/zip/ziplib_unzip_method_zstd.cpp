// ziplib_unzip_method_zstd.cpp - Zstandard (method 93) through libzstd. Frames that follow one another are
// decoded in turn; a frame whose window exceeds 128 MiB (zstd's own default limit) is refused.
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include "api32/zip/ziplib_unzip_methods.hpp"

namespace api32::unzipbinding {
namespace {

constexpr int window_log_limit = 27;
static_assert((std::uint64_t{1} << window_log_limit) <= decoder_memory_limit);

class zstd_decoder final : public method_decoder {
public:
  zstd_decoder() : stream_(ZSTD_createDStream()) {
    if (stream_ && ZSTD_isError(ZSTD_DCtx_setParameter(stream_, ZSTD_d_windowLogMax, window_log_limit))) {
      ZSTD_freeDStream(stream_);
      stream_ = nullptr;
    }
  }
  ~zstd_decoder() override { ZSTD_freeDStream(stream_); }
  zstd_decoder(const zstd_decoder&) = delete;
  zstd_decoder& operator=(const zstd_decoder&) = delete;

  decode_step decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out, std::size_t out_size) override {
    if (!stream_) return {0, 0, Z_MEM_ERROR};
    ZSTD_inBuffer input{in, in_size, 0};
    ZSTD_outBuffer output{out, out_size, 0};
    std::size_t rc = ZSTD_decompressStream(stream_, &output, &input);
    decode_step step{input.pos, output.pos, 0};
    if (ZSTD_isError(rc)) {
      ZSTD_ErrorCode error = ZSTD_getErrorCode(rc);
      step.code = error == ZSTD_error_memory_allocation || error == ZSTD_error_frameParameter_windowTooLarge
                      ? Z_MEM_ERROR
                      : Z_DATA_ERROR;
    }
    return step;  // the end of a frame is no end of the data: the entry's size ends the reading
  }

private:
  ZSTD_DStream* stream_;
};

}  // namespace

std::unique_ptr<method_decoder> make_zstd_decoder() { return std::make_unique<zstd_decoder>(); }

}  // namespace api32::unzipbinding
