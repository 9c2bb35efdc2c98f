// tga_decoding.hpp - the converter's inner steps: TGA header, structure check, decoding, BMP encoders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace api32::image::detail {

inline constexpr std::size_t tga_header_size = 18;

struct tga_header {
  std::uint8_t id_length = 0;
  std::uint8_t colour_map_type = 0;  ///< 1 when a colour map follows the id
  std::uint8_t image_type = 0;       ///< 1/9 colour-mapped, 2/10 true colour, 3/11 grey (9..11 run-length)
  std::uint16_t map_first = 0;       ///< index of the first colour map entry
  std::uint16_t map_length = 0;      ///< number of colour map entries
  std::uint8_t map_entry_bits = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t pixel_bits = 0;
  std::uint8_t descriptor = 0;  ///< bits 0-3 attribute (alpha) bits, bit 4 right-to-left, bit 5 top-to-bottom

  bool run_length_encoded() const { return image_type >= 9; }
  bool colour_mapped() const { return image_type == 1 || image_type == 9; }
  bool grey() const { return image_type == 3 || image_type == 11; }
  bool right_to_left() const { return (descriptor & 0x10) != 0; }
  bool top_to_bottom() const { return (descriptor & 0x20) != 0; }
  unsigned attribute_bits() const { return descriptor & 0x0Fu; }
  std::size_t pixel_bytes() const { return (pixel_bits + 7u) / 8u; }
  std::size_t map_entry_bytes() const { return (map_entry_bits + 7u) / 8u; }
  std::size_t map_bytes() const { return colour_map_type == 1 ? std::size_t{map_length} * map_entry_bytes() : 0; }
  std::size_t pixel_data_offset() const { return tga_header_size + id_length + map_bytes(); }
  std::uint64_t pixel_count() const { return std::uint64_t{width} * height; }
};

/// The header of a TGA this converter reads, or nullopt: an unknown image type or depth, an empty or
/// oversized image (see max_tga_pixels), an inconsistent colour map.
std::optional<tga_header> parse_tga_header(std::span<const std::uint8_t> file_start);

/// The most bytes from the file's start that decoding can use: header, id, colour map and the pixel data at
/// its largest (a run-length packet per pixel). Bytes past it are never read.
std::uint64_t tga_bytes_used_at_most(const tga_header& header);

/// What the structure check learns while walking the pixel data.
struct tga_structure {
  std::size_t pixel_data_end = 0;  ///< offset just past the last byte of pixel data
  /// For 16-bit pixels or colour-map entries with an attribute bit: the alpha of each pixel in file order
  /// (0 or 255); empty otherwise.
  std::vector<std::uint8_t> attribute_alpha;
};

/// Walks the pixel data: every pixel present, no run past the last pixel, every colour index inside the
/// colour map. nullopt when the file is damaged.
std::optional<tga_structure> check_tga_structure(const tga_header& header, std::span<const std::uint8_t> file);

/// The file in the layout stb_image reads correctly (no unused colour map, colour map starting at index 0);
/// empty when the file is already in that layout.
std::vector<std::uint8_t> tga_for_stb(const tga_header& header, const tga_structure& structure,
                                      std::span<const std::uint8_t> file);

/// Pixels as stb_image decodes them: rows top to bottom, `channels` bytes each (grey, grey+alpha, RGB, RGBA).
struct stb_pixels {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::shared_ptr<const std::uint8_t> bytes;  ///< width x height x channels, released by stb_image
};
std::optional<stb_pixels> decode_with_stb(std::span<const std::uint8_t> tga_file);

/// A decoded image: rows top to bottom, left to right.
struct decoded_image {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgb;    ///< 3 bytes a pixel
  std::vector<std::uint8_t> alpha;  ///< 1 byte a pixel, 255 throughout when the image has no alpha
};
/// Decodes a whole TGA file (as read, possibly with trailing bytes); nullopt when it is no readable TGA.
std::optional<decoded_image> decode_tga(std::span<const std::uint8_t> file);

/// Writes a 24-bit BMP (through stb_image_write); false when the stream reports an error.
bool write_bmp_rgb24(std::FILE* out, std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb);
/// Writes an 8-bit BMP with a 256-entry grey palette; false when the stream reports an error.
bool write_bmp_grey8(std::FILE* out, std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& grey);

}  // namespace api32::image::detail
