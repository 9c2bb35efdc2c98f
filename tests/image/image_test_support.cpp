// image_test_support.cpp - pictures, PAM and TGA writers, and the BMP reader the image tests compare with.
#include "image_test_support.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace api32::testing {
namespace {

std::uint32_t le(const bytes& data, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | data[at + static_cast<std::size_t>(i)];
  return value;
}

void put16(bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Run-length packets over a stream of pixel values: repeats of 2 or more become run packets.
void append_run_length(bytes& out, const std::vector<bytes>& values) {
  std::size_t i = 0;
  while (i < values.size()) {
    std::size_t run = 1;
    while (i + run < values.size() && run < 128 && values[i + run] == values[i]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
      out.insert(out.end(), values[i].begin(), values[i].end());
      i += run;
      continue;
    }
    std::size_t raw = 1;
    while (i + raw < values.size() && raw < 128 &&
           !(i + raw + 1 < values.size() && values[i + raw] == values[i + raw + 1])) {
      ++raw;
    }
    out.push_back(static_cast<std::uint8_t>(raw - 1));
    for (std::size_t k = 0; k < raw; ++k) out.insert(out.end(), values[i + k].begin(), values[i + k].end());
    i += raw;
  }
}

}  // namespace

picture pattern(std::uint32_t width, std::uint32_t height, bool grey) {
  static constexpr std::uint8_t alphas[] = {0, 255, 128, 1, 254, 64, 200};
  picture image{width, height, {}};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      rgba p;
      p.r = static_cast<std::uint8_t>(x * 37 + y * 11);
      p.g = grey ? p.r : static_cast<std::uint8_t>(x * 13 + y * 71 + 5);
      p.b = grey ? p.r : static_cast<std::uint8_t>(x * 5 + y * 29 + 100);
      p.a = alphas[(x + 2 * y) % std::size(alphas)];
      image.pixels.push_back(p);
    }
  }
  return image;
}

void write_pam(const std::string& path, const picture& image) {
  std::string head = "P7\nWIDTH " + std::to_string(image.width) + "\nHEIGHT " + std::to_string(image.height) +
                     "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  bytes out(head.begin(), head.end());
  for (const rgba& p : image.pixels) out.insert(out.end(), {p.r, p.g, p.b, p.a});
  write_bytes(path, out);
}

bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const std::string& path, const bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bytes build_tga(const tga_fields& f, const std::vector<bytes>& values) {
  bytes out;
  out.push_back(static_cast<std::uint8_t>(f.id.size()));
  out.push_back(f.colour_map_type);
  out.push_back(f.image_type);
  put16(out, f.map_first);
  const std::size_t entry_bytes = (f.map_entry_bits + 7u) / 8u;
  std::uint16_t map_length = f.map_length;
  if (map_length == 0 && entry_bytes != 0) map_length = static_cast<std::uint16_t>(f.map.size() / entry_bytes);
  put16(out, map_length);
  out.push_back(f.map_entry_bits);
  put16(out, 0);  // x origin
  put16(out, 0);  // y origin
  put16(out, f.width);
  put16(out, f.height);
  out.push_back(f.pixel_bits);
  out.push_back(f.descriptor);
  out.insert(out.end(), f.id.begin(), f.id.end());
  out.insert(out.end(), f.map.begin(), f.map.end());

  std::vector<bytes> stored;
  const bool top_to_bottom = (f.descriptor & 0x20) != 0;
  const bool right_to_left = (f.descriptor & 0x10) != 0;
  for (std::size_t row = 0; row < f.height; ++row) {
    std::size_t y = top_to_bottom ? row : f.height - 1 - row;
    for (std::size_t column = 0; column < f.width; ++column) {
      std::size_t x = right_to_left ? f.width - 1 - column : column;
      stored.push_back(values.at(y * f.width + x));
    }
  }
  if (f.image_type >= 9) {
    append_run_length(out, stored);
  } else {
    for (const bytes& v : stored) out.insert(out.end(), v.begin(), v.end());
  }
  out.insert(out.end(), f.trailer.begin(), f.trailer.end());
  return out;
}

std::optional<bmp_image> read_bmp(const std::string& path, std::string* why) {
  auto fail = [why](std::string reason) -> std::optional<bmp_image> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };
  const bytes data = read_bytes(path);
  if (data.size() < 54 || data[0] != 'B' || data[1] != 'M') return fail("not a BMP");
  if (le(data, 2, 4) != data.size()) return fail("bfSize is not the file size");
  const std::uint32_t offset = le(data, 10, 4);
  if (le(data, 14, 4) < 40) return fail("info header too small");
  bmp_image image;
  const std::int32_t width = static_cast<std::int32_t>(le(data, 18, 4));
  const std::int32_t height = static_cast<std::int32_t>(le(data, 22, 4));
  if (width <= 0 || height == 0) return fail("bad size");
  const bool bottom_up = height > 0;
  image.width = static_cast<std::uint32_t>(width);
  image.height = static_cast<std::uint32_t>(bottom_up ? height : -height);
  if (le(data, 26, 2) != 1) return fail("planes != 1");
  image.bits = static_cast<std::uint16_t>(le(data, 28, 2));
  if (le(data, 30, 4) != 0) return fail("compressed");
  if (image.bits != 8 && image.bits != 24 && image.bits != 32) return fail("unsupported depth");
  if (image.bits == 8) {
    std::uint32_t colours = le(data, 46, 4);
    if (colours == 0) colours = 256;
    const std::size_t palette_at = 14 + le(data, 14, 4);
    if (palette_at + colours * 4 > offset) return fail("palette overlaps the pixels");
    for (std::uint32_t i = 0; i < colours; ++i) image.palette.push_back(le(data, palette_at + i * 4, 4) & 0xFFFFFF);
  }
  const std::size_t stride = ((std::size_t{image.width} * image.bits / 8) + 3) & ~std::size_t{3};
  if (offset + stride * image.height != data.size()) return fail("pixel data is not rows padded to 4 bytes");
  if (le(data, 34, 4) != 0 && le(data, 34, 4) != stride * image.height) return fail("biSizeImage disagrees");
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::size_t row = offset + stride * (bottom_up ? image.height - 1 - y : y);
    for (std::uint32_t x = 0; x < image.width; ++x) {
      rgba p;
      if (image.bits == 8) {
        const std::uint8_t index = data[row + x];
        if (index >= image.palette.size()) return fail("index outside the palette");
        image.indices.push_back(index);
        const std::uint32_t c = image.palette[index];
        p = {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c), 255};
      } else {
        const std::size_t at = row + std::size_t{x} * (image.bits / 8);
        p = {data[at + 2], data[at + 1], data[at], 255};
      }
      image.pixels.push_back(p);
    }
  }
  return image;
}

std::vector<std::string> folder_entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace api32::testing
