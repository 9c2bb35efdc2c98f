// ziplib_compress_limits.hpp - sizing rules of the zip library's buffer compression, and the inflate that
// grows its output as the data needs instead of trusting a length given by the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "api32/runtime/values.hpp"

namespace api32::ziplib {

/// Largest uncompressed length of_uncompress accepts (1 GiB). A longer length is answered as a memory failure
/// before anything is allocated: the length often travels beside stored data and cannot be trusted.
inline constexpr std::uint32_t uncompress_limit = 1u << 30;

/// Working capacity for compressing `source_length` bytes: the length times the decimal 1.01, plus 12, the
/// fraction dropped (1000 bytes -> 1022). Capped at the largest ulong; nullopt when the source itself is longer
/// than a ulong can count.
std::optional<std::uint32_t> compress_capacity(std::uint64_t source_length);

/// Inflates the zlib stream `source` into `out`, which grows with the data and never beyond `limit` bytes, so
/// memory is only touched for data that really arrives. Results as zlib's uncompress: Z_OK (out holds the
/// data), Z_BUF_ERROR (the data is longer than `limit`), Z_DATA_ERROR (damaged, truncated or needing a
/// dictionary), Z_MEM_ERROR. On failure `out` holds what was inflated so far.
int inflate_growing(const std::uint8_t* source, std::size_t source_length, std::size_t limit, blob& out);

}  // namespace api32::ziplib
