// crc32.hpp - the CRC-32 (polynomial 0xEDB88320) that RAR archives use for headers and file data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rartool {

/// Continues a CRC-32 over more bytes; start with 0.
std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
inline std::uint32_t crc32_of(const std::uint8_t* data, std::size_t size) { return crc32_update(0, data, size); }
inline std::uint32_t crc32_of(std::string_view bytes) {
  return crc32_of(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace rartool
