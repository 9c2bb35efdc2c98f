// bmp_rgb24_stb.cpp - the one place stb_image_write is compiled: its 24-bit BMP writer, internal linkage.
#include "api32/image/tga_decoding.hpp"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include <climits>

namespace api32::image::detail {
namespace {

void write_to_stream(void* context, void* data, int size) {
  if (size > 0) std::fwrite(data, 1, static_cast<std::size_t>(size), static_cast<std::FILE*>(context));
}

}  // namespace

bool write_bmp_rgb24(std::FILE* out, std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb) {
  if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX) return false;
  if (rgb.size() != std::size_t{width} * height * 3) return false;
  if (stbi_write_bmp_to_func(write_to_stream, out, static_cast<int>(width), static_cast<int>(height), 3, rgb.data()) ==
      0) {
    return false;
  }
  return std::fflush(out) == 0 && std::ferror(out) == 0;
}

}  // namespace api32::image::detail
