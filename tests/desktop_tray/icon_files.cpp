// icon_files.cpp - writes .ico and .png files for the tray tests.
#include "icon_files.hpp"

#include <zlib.h>

#include "support/test_support.hpp"

namespace api32::testing {
namespace {

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void put32be(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

std::string ico_bitmap(const ico_image& image) {
  std::string out;
  put32(out, 40);  // BITMAPINFOHEADER
  put32(out, static_cast<std::uint32_t>(image.side));
  put32(out, static_cast<std::uint32_t>(image.side * 2));  // colour rows and mask rows
  put16(out, 1);
  put16(out, 32);
  for (int i = 0; i < 6; ++i) put32(out, 0);
  for (int row = image.side - 1; row >= 0; --row) {  // bottom-up
    const std::uint32_t argb = row < image.side / 2 ? image.top : image.bottom;
    for (int x = 0; x < image.side; ++x) {
      out += static_cast<char>(argb & 0xFF);          // B
      out += static_cast<char>((argb >> 8) & 0xFF);   // G
      out += static_cast<char>((argb >> 16) & 0xFF);  // R
      out += static_cast<char>((argb >> 24) & 0xFF);  // A
    }
  }
  const int mask_row = ((image.side + 31) / 32) * 4;
  out.append(static_cast<std::size_t>(mask_row * image.side), '\0');
  return out;
}

void png_chunk(std::string& out, const char* type, const std::string& data) {
  put32be(out, static_cast<std::uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  put32be(out, static_cast<std::uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace

void write_ico(const std::string& path, const std::vector<ico_image>& images) {
  std::string out;
  put16(out, 0);
  put16(out, 1);  // icon
  put16(out, static_cast<std::uint32_t>(images.size()));
  std::vector<std::string> bitmaps;
  for (const auto& image : images) bitmaps.push_back(ico_bitmap(image));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out += static_cast<char>(images[i].side >= 256 ? 0 : images[i].side);
    out += static_cast<char>(images[i].side >= 256 ? 0 : images[i].side);
    out += '\0';
    out += '\0';
    put16(out, 1);
    put16(out, 32);
    put32(out, static_cast<std::uint32_t>(bitmaps[i].size()));
    put32(out, offset);
    offset += static_cast<std::uint32_t>(bitmaps[i].size());
  }
  for (const auto& bitmap : bitmaps) out += bitmap;
  write_file(path, out);
}

void write_png(const std::string& path, int width, int height, std::uint32_t argb) {
  std::string raw;  // filter byte 0, then RGBA
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    for (int x = 0; x < width; ++x) {
      raw += static_cast<char>((argb >> 16) & 0xFF);
      raw += static_cast<char>((argb >> 8) & 0xFF);
      raw += static_cast<char>(argb & 0xFF);
      raw += static_cast<char>((argb >> 24) & 0xFF);
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packed_size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &packed_size, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  packed.resize(packed_size);
  std::string header;
  put32be(header, static_cast<std::uint32_t>(width));
  put32be(header, static_cast<std::uint32_t>(height));
  header += '\x08';  // bit depth
  header += '\x06';  // RGBA
  header += std::string(3, '\0');
  std::string out = "\x89PNG\r\n\x1a\n";
  png_chunk(out, "IHDR", header);
  png_chunk(out, "IDAT", packed);
  png_chunk(out, "IEND", "");
  write_file(path, out);
}

}  // namespace api32::testing
