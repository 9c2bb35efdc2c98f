// image_test_support.hpp - pictures with known pixels, a TGA builder, and a strict BMP reader for the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace api32::testing {

using bytes = std::vector<std::uint8_t>;

struct rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  friend bool operator==(const rgba&, const rgba&) = default;
};

/// Pixels top to bottom, left to right.
struct picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<rgba> pixels;
  rgba at(std::uint32_t x, std::uint32_t y) const { return pixels[std::size_t{y} * width + x]; }
};

/// A picture whose every pixel differs from its neighbours, with alpha 0, 255 and values between; `grey`
/// makes r = g = b.
picture pattern(std::uint32_t width, std::uint32_t height, bool grey = false);
/// Writes a picture as a PAM file (RGB_ALPHA), which ImageMagick reads losslessly.
void write_pam(const std::string& path, const picture& image);

bytes read_bytes(const std::string& path);
void write_bytes(const std::string& path, const bytes& data);

/// A TGA header's fields and the parts around the pixel data.
struct tga_fields {
  std::uint8_t image_type = 2;
  std::uint8_t pixel_bits = 24;
  std::uint8_t descriptor = 0;  ///< bit 5 top-to-bottom, bit 4 right-to-left, bits 0-3 attribute bits
  std::uint8_t colour_map_type = 0;
  std::uint16_t map_first = 0;
  std::uint16_t map_length = 0;  ///< 0: taken from map_entries and map_entry_bits
  std::uint8_t map_entry_bits = 0;
  bytes map;  ///< colour map entries, raw
  bytes id;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  bytes trailer;  ///< bytes after the pixel data (a footer, say)
};

/// A TGA file of `values` (one raw pixel value per pixel, given top to bottom, left to right), stored in the
/// order the descriptor's origin bits say and run-length encoded for image types 9..11 (packets cross rows).
bytes build_tga(const tga_fields& fields, const std::vector<bytes>& values);

/// A BMP as read back, checked against the layout: bottom-up rows padded to 4 bytes, headers consistent.
struct bmp_image {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t bits = 0;
  std::vector<rgba> pixels;            ///< top to bottom (alpha 255)
  std::vector<std::uint8_t> indices;   ///< 8-bit files: the palette index of each pixel, top to bottom
  std::vector<std::uint32_t> palette;  ///< 8-bit files: 0x00RRGGBB entries
};
/// The BMP, or nullopt with the reason in `why`. Reads 8-, 24- and 32-bit uncompressed files.
std::optional<bmp_image> read_bmp(const std::string& path, std::string* why = nullptr);

/// Names of the files in a folder.
std::vector<std::string> folder_entries(const std::string& folder);

}  // namespace api32::testing
