// tga_decode_stb.cpp - the one place stb_image is compiled: its TGA decoder only, with internal linkage.
#include "api32/image/tga_decoding.hpp"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb_image.h>

#include <climits>

namespace api32::image::detail {

std::optional<stb_pixels> decode_with_stb(std::span<const std::uint8_t> tga_file) {
  if (tga_file.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  stb_pixels result;
  stbi_uc* pixels = stbi_load_from_memory(tga_file.data(), static_cast<int>(tga_file.size()), &result.width,
                                          &result.height, &result.channels, 0);
  if (pixels == nullptr) return std::nullopt;
  result.bytes = std::shared_ptr<const std::uint8_t>(pixels, stbi_image_free);
  if (result.width <= 0 || result.height <= 0 || result.channels < 1 || result.channels > 4) return std::nullopt;
  return result;
}

}  // namespace api32::image::detail
