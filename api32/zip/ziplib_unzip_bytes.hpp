// ziplib_unzip_bytes.hpp - little-endian numbers of zip records, and the records' signatures and sizes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace api32::unzipbinding {

inline std::uint32_t le16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t le32(const std::uint8_t* p) { return le16(p) | (le16(p + 2) << 16); }
constexpr std::uint32_t local_signature = 0x04034B50;
constexpr std::uint32_t central_signature = 0x02014B50;
constexpr std::size_t local_header_size = 30;
constexpr std::uint32_t placeholder32 = 0xFFFFFFFF;  // a field whose value is in the Zip64 extra field
constexpr std::uint32_t placeholder16 = 0xFFFF;

inline std::uint64_t le64(const std::uint8_t* p) { return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32); }

}  // namespace api32::unzipbinding
