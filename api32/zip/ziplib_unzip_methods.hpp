// ziplib_unzip_methods.hpp - the compression methods the reader decodes: stored (0), deflate (8), bzip2 (12),
// LZMA (14), zstd (93) and xz (95), each a streaming decoder over the system's zlib, libbz2, liblzma or libzstd.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace api32::unzipbinding {

/// What one decode step did: bytes consumed and produced, and `code` 0 (going on), 1 (the stream ended) or a
/// negative zlib code (Z_DATA_ERROR for damaged data, Z_MEM_ERROR when the data ask for more memory than a
/// decoder may take).
struct decode_step {
  std::size_t consumed = 0;
  std::size_t produced = 0;
  int code = 0;
};

/// A decoder of one entry's data. It never holds more than its method needs (a dictionary bounded by
/// `decoder_memory_limit`), whatever the entry's size.
class method_decoder {
public:
  virtual ~method_decoder() = default;
  /// Decodes from `in` into `out`. A step that consumes and produces nothing has no more output without more
  /// input.
  virtual decode_step decode(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out, std::size_t out_size) = 0;
};

/// The most memory a decoder may take for its window or dictionary: xz and LZMA data asking for more (a
/// dictionary beyond what any preset uses) are refused as damaged rather than allocated.
constexpr std::uint64_t decoder_memory_limit = 256u << 20;

/// True for the methods listed above.
bool method_supported(unsigned method);

/// The decoder of `method` (which must be supported) for an entry of `uncompressed_size` bytes.
std::unique_ptr<method_decoder> make_decoder(unsigned method, std::uint64_t uncompressed_size);

// one maker per library (ziplib_unzip_method_*.cpp)
std::unique_ptr<method_decoder> make_stored_decoder();
std::unique_ptr<method_decoder> make_deflate_decoder();
std::unique_ptr<method_decoder> make_bzip2_decoder();
std::unique_ptr<method_decoder> make_lzma_decoder(std::uint64_t uncompressed_size);
std::unique_ptr<method_decoder> make_xz_decoder();
std::unique_ptr<method_decoder> make_zstd_decoder();

}  // namespace api32::unzipbinding
