// crc32.cpp - CRC-32 through zlib, whose table-driven code is much faster than a byte-wise loop.
#include "tools/rar/crc32.hpp"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace rartool {

std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  uLong value = crc;
  while (size > 0) {
    // zlib takes a 32-bit length
    std::size_t chunk = std::min<std::size_t>(size, std::numeric_limits<uInt>::max());
    value = ::crc32(value, data, static_cast<uInt>(chunk));
    data += chunk;
    size -= chunk;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace rartool
