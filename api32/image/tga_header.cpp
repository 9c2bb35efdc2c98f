// tga_header.cpp - reading and checking the 18-byte TGA header.
#include "api32/image/tga_decoding.hpp"
#include "api32/image/tga_to_bmp.hpp"

namespace api32::image::detail {
namespace {

std::uint16_t little_endian16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

bool valid_map_entry_bits(unsigned bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; }

bool valid_pixel_bits(const tga_header& h) {
  if (h.colour_mapped()) return h.pixel_bits == 8 || h.pixel_bits == 16;
  if (h.grey()) return h.pixel_bits == 8 || h.pixel_bits == 16;
  return h.pixel_bits == 15 || h.pixel_bits == 16 || h.pixel_bits == 24 || h.pixel_bits == 32;
}

}  // namespace

std::optional<tga_header> parse_tga_header(std::span<const std::uint8_t> file_start) {
  if (file_start.size() < tga_header_size) return std::nullopt;
  tga_header h;
  h.id_length = file_start[0];
  h.colour_map_type = file_start[1];
  h.image_type = file_start[2];
  h.map_first = little_endian16(file_start, 3);
  h.map_length = little_endian16(file_start, 5);
  h.map_entry_bits = file_start[7];
  h.width = little_endian16(file_start, 12);
  h.height = little_endian16(file_start, 14);
  h.pixel_bits = file_start[16];
  h.descriptor = file_start[17];

  switch (h.image_type) {
    case 1:
    case 2:
    case 3:
    case 9:
    case 10:
    case 11:
      break;
    default:
      return std::nullopt;  // 0 (no image data) and the rare Huffman-coded types are not converted
  }
  if (h.colour_map_type > 1) return std::nullopt;
  if (h.colour_mapped() && h.colour_map_type != 1) return std::nullopt;
  if (h.colour_map_type == 1 && (h.map_length == 0 || !valid_map_entry_bits(h.map_entry_bits))) return std::nullopt;
  // A 16-bit index can address 65536 entries at most; an entry past them could never be used.
  if (h.colour_mapped() && std::uint32_t{h.map_first} + h.map_length > 0xFFFF) return std::nullopt;
  if (!valid_pixel_bits(h)) return std::nullopt;
  if (h.width == 0 || h.height == 0 || h.pixel_count() > max_tga_pixels) return std::nullopt;
  return h;
}

std::uint64_t tga_bytes_used_at_most(const tga_header& header) {
  std::uint64_t per_pixel = header.pixel_bytes() + (header.run_length_encoded() ? 1 : 0);
  return header.pixel_data_offset() + header.pixel_count() * per_pixel;
}

}  // namespace api32::image::detail
