// ziplib_unzip_methods.cpp - which compression methods the reader decodes, and the decoder for each.
#include "api32/zip/ziplib_unzip_methods.hpp"

namespace api32::unzipbinding {
namespace {

enum : unsigned {
  stored = 0,
  deflated = 8,
  bzip2 = 12,
  lzma = 14,
  zstd = 93,
  xz = 95,
};

}  // namespace

bool method_supported(unsigned method) {
  switch (method) {
    case stored:
    case deflated:
    case bzip2:
    case lzma:
    case zstd:
    case xz:
      return true;
    default:
      return false;
  }
}

std::unique_ptr<method_decoder> make_decoder(unsigned method, std::uint64_t uncompressed_size) {
  switch (method) {
    case stored:
      return make_stored_decoder();
    case deflated:
      return make_deflate_decoder();
    case bzip2:
      return make_bzip2_decoder();
    case lzma:
      return make_lzma_decoder(uncompressed_size);
    case zstd:
      return make_zstd_decoder();
    case xz:
      return make_xz_decoder();
    default:
      return nullptr;
  }
}

}  // namespace api32::unzipbinding
