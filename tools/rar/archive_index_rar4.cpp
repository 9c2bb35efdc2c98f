// archive_index_rar4.cpp - the entry index from RAR 4 block headers.
//
// Every block starts with CRC16 (low half of the CRC-32 of the rest of the header), type, flags and size;
// flag 0x8000 adds a 32-bit data size. File headers (type 0x74) carry packed and unpacked sizes, the file's
// CRC-32 and its flags (0x0004 encrypted, 0x00e0 all set for a folder, 0x0100 64-bit sizes follow).
#include <cstring>

#include "tools/rar/archive_index.hpp"
#include "tools/rar/crc32.hpp"

namespace rartool::rar4 {
namespace {

constexpr std::uint8_t block_main = 0x73;
constexpr std::uint8_t block_file = 0x74;
constexpr std::uint8_t block_end = 0x7b;
constexpr std::uint16_t main_encrypted_headers = 0x0080;
constexpr std::uint16_t file_split = 0x0003;
constexpr std::uint16_t file_encrypted = 0x0004;
constexpr std::uint16_t file_folder_mask = 0x00e0;
constexpr std::uint16_t file_large = 0x0100;
constexpr std::uint16_t long_block = 0x8000;
constexpr std::size_t file_fixed_size = 32;

std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

archive_index read_index(const input& in) {
  archive_index index;
  index.version = 4;
  std::uint64_t pos = 7;
  const std::uint64_t total = in.size();
  bytes header;
  while (pos < total) {
    std::uint8_t fixed[7];
    if (total - pos < sizeof fixed || !in.read_at(pos, fixed, sizeof fixed)) return index;
    const std::uint8_t type = fixed[2];
    const std::uint16_t flags = u16(fixed + 3);
    const std::uint16_t size = u16(fixed + 5);
    if (size < sizeof fixed || size > total - pos) return index;
    header.resize(size);
    if (!in.read_at(pos, header.data(), size)) return index;
    if (static_cast<std::uint16_t>(crc32_of(header.data() + 2, size - 2u) & 0xffff) != u16(header.data())) {
      return index;
    }
    std::uint64_t data_size = 0;
    if (flags & long_block) {
      if (size < 11) return index;
      data_size = u32(header.data() + 7);
    }
    if (type == block_main && (flags & main_encrypted_headers)) {
      index.headers_encrypted = true;
      return index;
    }
    if (type == block_file) {
      if (size < file_fixed_size || (flags & file_split)) return index;
      indexed_entry e;
      std::uint64_t packed = u32(header.data() + 7);
      e.size = u32(header.data() + 11);
      e.crc = u32(header.data() + 16);
      if (flags & file_large) {
        if (size < file_fixed_size + 8) return index;
        packed |= static_cast<std::uint64_t>(u32(header.data() + 32)) << 32;
        e.size |= static_cast<std::uint64_t>(u32(header.data() + 36)) << 32;
      }
      data_size = packed;
      e.packed_size = packed;
      e.attributes = u32(header.data() + 28);
      e.windows_attributes = header[15] < 3;  // MS-DOS, OS/2, Windows
      e.encrypted = (flags & file_encrypted) != 0;
      e.directory = (flags & file_folder_mask) == file_folder_mask;
      if (e.directory) e.crc.reset();
      index.entries.push_back(e);
    }
    if (type == block_end) {
      index.complete = true;
      return index;
    }
    if (data_size > total - pos - size) return index;
    pos += size + data_size;
  }
  return index;
}

}  // namespace rartool::rar4
