// bmp_grey8.cpp - 8-bit BMPs with a grey palette (stb_image_write writes 24- and 32-bit BMPs only).
//
// Layout: BITMAPFILEHEADER (14 bytes), BITMAPINFOHEADER (40 bytes, bottom-up rows, no compression),
// a 256-entry palette of grey levels (B, G, R, 0), then the rows from the bottom up, each padded to 4 bytes.
#include <array>

#include "api32/image/tga_decoding.hpp"

namespace api32::image::detail {
namespace {

constexpr std::uint32_t file_header_size = 14;
constexpr std::uint32_t info_header_size = 40;
constexpr std::uint32_t palette_size = 256 * 4;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

bool write_bmp_grey8(std::FILE* out, std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& grey) {
  if (width == 0 || height == 0 || grey.size() != std::size_t{width} * height) return false;
  const std::uint64_t row_stride = (std::uint64_t{width} + 3) & ~std::uint64_t{3};
  const std::uint64_t image_size = row_stride * height;
  const std::uint32_t data_offset = file_header_size + info_header_size + palette_size;
  if (image_size + data_offset > 0xFFFFFFFFu || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;

  std::vector<std::uint8_t> head;
  head.reserve(data_offset);
  head.push_back('B');
  head.push_back('M');
  put32(head, static_cast<std::uint32_t>(data_offset + image_size));  // bfSize
  put32(head, 0);                                                     // bfReserved1, bfReserved2
  put32(head, data_offset);                                           // bfOffBits
  put32(head, info_header_size);                                      // biSize
  put32(head, width);                                                 // biWidth
  put32(head, height);                                                // biHeight (positive: bottom-up)
  put16(head, 1);                                                     // biPlanes
  put16(head, 8);                                                     // biBitCount
  put32(head, 0);                                                     // biCompression = BI_RGB
  put32(head, static_cast<std::uint32_t>(image_size));                // biSizeImage
  put32(head, 2835);                                                  // biXPelsPerMeter (72 dpi)
  put32(head, 2835);                                                  // biYPelsPerMeter
  put32(head, 256);                                                   // biClrUsed
  put32(head, 0);                                                     // biClrImportant: all
  for (unsigned level = 0; level < 256; ++level) {
    const auto v = static_cast<std::uint8_t>(level);
    head.insert(head.end(), {v, v, v, 0});
  }
  if (std::fwrite(head.data(), 1, head.size(), out) != head.size()) return false;

  const std::array<std::uint8_t, 3> padding{};
  const std::size_t pad = static_cast<std::size_t>(row_stride - width);
  for (std::uint32_t y = height; y-- > 0;) {
    if (std::fwrite(grey.data() + std::size_t{y} * width, 1, width, out) != width) return false;
    if (pad != 0 && std::fwrite(padding.data(), 1, pad, out) != pad) return false;
  }
  return std::fflush(out) == 0 && std::ferror(out) == 0;
}

}  // namespace api32::image::detail
