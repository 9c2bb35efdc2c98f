// icon_files.hpp - icon and image files for the tray tests, written byte by byte (not by the library that
// reads them), with a top half and a bottom half of different colours so that row order shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace api32::testing {

struct ico_image {
  int side = 16;             ///< width and height
  std::uint32_t top = 0;     ///< 0xAARRGGBB of the upper half
  std::uint32_t bottom = 0;  ///< 0xAARRGGBB of the lower half
};

/// A Windows .ico file with one 32-bit image per entry (BMP form, bottom-up rows, empty AND mask).
void write_ico(const std::string& path, const std::vector<ico_image>& images);
/// A PNG file of width x height in one colour (zlib packs the rows).
void write_png(const std::string& path, int width, int height, std::uint32_t argb);

}  // namespace api32::testing
