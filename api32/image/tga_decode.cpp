// tga_decode.cpp - a TGA file to colour and alpha planes: header and structure checks, stb_image, and the
// parts of the format stb_image leaves out (right-to-left rows, the attribute bit of 16-bit colours).
#include <algorithm>

#include "api32/image/tga_decoding.hpp"

namespace api32::image::detail {
namespace {

// Reverses the pixels of every row.
void mirror_rows(std::vector<std::uint8_t>& plane, std::size_t width, std::size_t height, std::size_t pixel_size) {
  const std::size_t row_size = width * pixel_size;
  for (std::size_t y = 0; y < height; ++y) {
    std::uint8_t* row = plane.data() + y * row_size;
    for (std::size_t left = 0, right = width - 1; left < right; ++left, --right) {
      std::swap_ranges(row + left * pixel_size, row + (left + 1) * pixel_size, row + right * pixel_size);
    }
  }
}

// Reverses the order of the rows.
void flip_rows(std::vector<std::uint8_t>& plane, std::size_t width, std::size_t height) {
  for (std::size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(plane.begin() + static_cast<std::ptrdiff_t>(top * width),
                     plane.begin() + static_cast<std::ptrdiff_t>((top + 1) * width),
                     plane.begin() + static_cast<std::ptrdiff_t>(bottom * width));
  }
}

// Splits stb_image's pixels into the colour and alpha planes.
void split_channels(const stb_pixels& pixels, decoded_image& image) {
  const std::size_t count = std::size_t{image.width} * image.height;
  const std::size_t channels = static_cast<std::size_t>(pixels.channels);
  const std::uint8_t* in = pixels.bytes.get();
  image.rgb.resize(count * 3);
  image.alpha.assign(count, 255);
  for (std::size_t i = 0; i < count; ++i, in += channels) {
    std::uint8_t* out = image.rgb.data() + i * 3;
    if (channels <= 2) {
      out[0] = out[1] = out[2] = in[0];
    } else {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
    if (channels == 2 || channels == 4) image.alpha[i] = in[channels - 1];
  }
}

}  // namespace

std::optional<decoded_image> decode_tga(std::span<const std::uint8_t> file) {
  const auto header = parse_tga_header(file);
  if (!header) return std::nullopt;
  auto structure = check_tga_structure(*header, file);
  if (!structure) return std::nullopt;

  std::optional<stb_pixels> pixels;
  {
    const std::vector<std::uint8_t> rebuilt = tga_for_stb(*header, *structure, file);
    pixels = decode_with_stb(rebuilt.empty() ? file.first(structure->pixel_data_end) : std::span(rebuilt));
  }
  if (!pixels || pixels->width != header->width || pixels->height != header->height) return std::nullopt;

  decoded_image image;
  image.width = header->width;
  image.height = header->height;
  split_channels(*pixels, image);
  pixels.reset();

  if (header->right_to_left()) {
    mirror_rows(image.rgb, image.width, image.height, 3);
    mirror_rows(image.alpha, image.width, image.height, 1);
  }
  if (!structure->attribute_alpha.empty()) {
    // Collected in file order: bring it into the orientation stb_image gave the colours.
    image.alpha = std::move(structure->attribute_alpha);
    if (!header->top_to_bottom()) flip_rows(image.alpha, image.width, image.height);
    if (header->right_to_left()) mirror_rows(image.alpha, image.width, image.height, 1);
  }
  return image;
}

}  // namespace api32::image::detail
