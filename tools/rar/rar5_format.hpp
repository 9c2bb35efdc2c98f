// rar5_format.hpp - the block structure of RAR 5 archives: signature, header types and flags, and the
// variable-length integers ("vint": 7 bits per byte, low bits first, high bit set on all but the last byte).
//
// Every block is: CRC32 of the rest of the header (uint32), header size (vint, counted from the type on),
// type, flags, [extra area size], [data size], type-specific fields, extra area; then the data area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "tools/rar/byte_io.hpp"

namespace rartool::rar5 {

inline constexpr std::uint8_t signature[8] = {0x52, 0x61, 0x72, 0x21, 0x1a, 0x07, 0x01, 0x00};
inline constexpr std::uint8_t signature_v4[7] = {0x52, 0x61, 0x72, 0x21, 0x1a, 0x07, 0x00};

/// Largest header a reader accepts (extra area included).
inline constexpr std::uint64_t max_header_size = 2 * 1024 * 1024;
/// A vint holds at most 64 bits, in at most 10 bytes.
inline constexpr std::size_t max_vint_size = 10;

enum header_type : std::uint64_t {
  head_main = 1,
  head_file = 2,
  head_service = 3,
  head_encryption = 4,
  head_end = 5,
};

// flags common to every header
inline constexpr std::uint64_t hfl_extra = 0x0001;
inline constexpr std::uint64_t hfl_data = 0x0002;
inline constexpr std::uint64_t hfl_skip_if_unknown = 0x0004;
inline constexpr std::uint64_t hfl_split_before = 0x0008;
inline constexpr std::uint64_t hfl_split_after = 0x0010;
inline constexpr std::uint64_t hfl_child = 0x0020;

// main archive header flags
inline constexpr std::uint64_t mhfl_volume = 0x0001;
inline constexpr std::uint64_t mhfl_volume_number = 0x0002;
inline constexpr std::uint64_t mhfl_solid = 0x0004;
inline constexpr std::uint64_t mhfl_recovery = 0x0008;
inline constexpr std::uint64_t mhfl_locked = 0x0010;
inline constexpr std::uint64_t main_extra_locator = 0x01;

// file and service header flags
inline constexpr std::uint64_t fhfl_directory = 0x0001;
inline constexpr std::uint64_t fhfl_unix_time = 0x0002;
inline constexpr std::uint64_t fhfl_crc32 = 0x0004;
inline constexpr std::uint64_t fhfl_unknown_size = 0x0008;

// compression information: bits 0-5 version, bit 6 solid, bits 7-9 method (0 = store), bits 10-13 dictionary
inline constexpr std::uint64_t ci_solid = 0x0040;
inline std::uint64_t ci_method(std::uint64_t info) { return (info >> 7) & 7; }

inline constexpr std::uint64_t host_windows = 0;
inline constexpr std::uint64_t host_unix = 1;

// extra records of file and service headers
inline constexpr std::uint64_t fhextra_crypt = 0x01;
inline constexpr std::uint64_t fhextra_hash = 0x02;
inline constexpr std::uint64_t fhextra_time = 0x03;
inline constexpr std::uint64_t fhextra_redirection = 0x05;
// file time record flags
inline constexpr std::uint64_t time_unix = 0x0001;
inline constexpr std::uint64_t time_mtime = 0x0002;

// end of archive flag: more volumes follow
inline constexpr std::uint64_t ehfl_next_volume = 0x0001;

/// Appends `value` as a vint.
void put_vint(bytes& out, std::uint64_t value);
/// Number of bytes `value` takes as a vint.
std::size_t vint_size(std::uint64_t value);
void put_u32(bytes& out, std::uint32_t value);
void put_u64(bytes& out, std::uint64_t value);

/// Reads fields from a byte range, failing (and staying failed) at the first field that does not fit.
class field_reader {
public:
  field_reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::optional<std::uint64_t> vint();
  std::optional<std::uint32_t> u32();
  std::optional<std::uint64_t> u64();
  std::optional<std::string_view> text(std::size_t n);
  bool skip(std::uint64_t n);
  std::size_t offset() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  bool ok() const { return ok_; }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace rartool::rar5
