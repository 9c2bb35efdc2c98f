// tga_structure.cpp - walking a TGA's pixel data before decoding: stb_image reads zeros past the end of its
// input and quietly maps a bad colour index to entry 0, so damage is found here instead. Also rewrites the
// few layouts stb_image misreads.
#include <algorithm>

#include "api32/image/tga_decoding.hpp"

namespace api32::image::detail {
namespace {

std::uint16_t little_endian16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// Per-pixel checks: the colour index range, and the attribute (alpha) bit of 16-bit colours.
class pixel_visitor {
public:
  pixel_visitor(const tga_header& header, std::span<const std::uint8_t> file) : header_(header) {
    if (header.colour_map_type == 1) map_ = file.subspan(tga_header_size + header.id_length, header.map_bytes());
    bool sixteen_bit_colour =
        header.colour_mapped() ? header.map_entry_bits == 16 : !header.grey() && header.pixel_bits == 16;
    keeps_attribute_alpha_ = sixteen_bit_colour && header.attribute_bits() != 0;
    needs_visit_ = header.colour_mapped() || keeps_attribute_alpha_;
  }

  bool needs_visit() const { return needs_visit_; }
  bool keeps_attribute_alpha() const { return keeps_attribute_alpha_; }

  // Checks one pixel value and records its alpha for `count` pixels; false for a bad colour index.
  bool visit(const std::uint8_t* value, std::size_t count, std::vector<std::uint8_t>& alpha) const {
    std::uint16_t colour = 0;
    if (header_.colour_mapped()) {
      unsigned index = header_.pixel_bits == 8 ? value[0] : little_endian16(value);
      if (index < header_.map_first || index - header_.map_first >= header_.map_length) return false;
      if (keeps_attribute_alpha_) colour = little_endian16(map_.data() + (index - header_.map_first) * 2);
    } else if (keeps_attribute_alpha_) {
      colour = little_endian16(value);
    }
    if (keeps_attribute_alpha_) alpha.insert(alpha.end(), count, (colour & 0x8000) != 0 ? 255 : 0);
    return true;
  }

private:
  const tga_header& header_;
  std::span<const std::uint8_t> map_;
  bool keeps_attribute_alpha_ = false;
  bool needs_visit_ = false;
};

}  // namespace

std::optional<tga_structure> check_tga_structure(const tga_header& header, std::span<const std::uint8_t> file) {
  const std::size_t offset = header.pixel_data_offset();
  const std::size_t pixel_bytes = header.pixel_bytes();
  const std::uint64_t pixels = header.pixel_count();
  if (file.size() < offset) return std::nullopt;  // id or colour map cut short

  pixel_visitor visitor(header, file);
  tga_structure result;
  if (visitor.keeps_attribute_alpha()) result.attribute_alpha.reserve(static_cast<std::size_t>(pixels));

  if (!header.run_length_encoded()) {
    std::uint64_t data_bytes = pixels * pixel_bytes;
    if (file.size() - offset < data_bytes) return std::nullopt;
    result.pixel_data_end = offset + static_cast<std::size_t>(data_bytes);
    if (visitor.needs_visit()) {
      for (std::size_t at = offset; at < result.pixel_data_end; at += pixel_bytes) {
        if (!visitor.visit(file.data() + at, 1, result.attribute_alpha)) return std::nullopt;
      }
    }
    return result;
  }

  std::size_t at = offset;
  std::uint64_t done = 0;
  while (done < pixels) {
    if (at >= file.size()) return std::nullopt;  // data ends before the last pixel
    const std::uint8_t packet = file[at++];
    const std::size_t count = (packet & 0x7Fu) + 1u;
    if (done + count > pixels) return std::nullopt;  // a packet running past the last pixel
    const bool repeated = (packet & 0x80u) != 0;
    const std::size_t packet_bytes = repeated ? pixel_bytes : count * pixel_bytes;
    if (file.size() - at < packet_bytes) return std::nullopt;
    if (visitor.needs_visit()) {
      if (repeated) {
        if (!visitor.visit(file.data() + at, count, result.attribute_alpha)) return std::nullopt;
      } else {
        for (std::size_t i = 0; i < count; ++i) {
          if (!visitor.visit(file.data() + at + i * pixel_bytes, 1, result.attribute_alpha)) return std::nullopt;
        }
      }
    }
    at += packet_bytes;
    done += count;
  }
  result.pixel_data_end = at;
  return result;
}

std::vector<std::uint8_t> tga_for_stb(const tga_header& header, const tga_structure& structure,
                                      std::span<const std::uint8_t> file) {
  // stb_image takes the first-entry field as bytes to skip and rejects true-colour or grey files that carry
  // a colour map; both are valid TGA. Such files are rebuilt without the id, with the map starting at 0.
  const bool unused_map = header.colour_map_type == 1 && !header.colour_mapped();
  const bool offset_map = header.colour_mapped() && header.map_first != 0;
  if (!unused_map && !offset_map) return {};

  std::vector<std::uint8_t> rebuilt(file.begin(), file.begin() + tga_header_size);
  rebuilt[0] = 0;  // no id
  const auto pixel_data =
      file.subspan(header.pixel_data_offset(), structure.pixel_data_end - header.pixel_data_offset());
  if (unused_map) {
    rebuilt[1] = 0;  // no colour map; the image type (byte 2) stays
    std::fill(rebuilt.begin() + 3, rebuilt.begin() + 8, std::uint8_t{0});
  } else {
    const std::uint16_t length = static_cast<std::uint16_t>(header.map_first + header.map_length);
    rebuilt[3] = rebuilt[4] = 0;
    rebuilt[5] = static_cast<std::uint8_t>(length & 0xFF);
    rebuilt[6] = static_cast<std::uint8_t>(length >> 8);
    rebuilt.insert(rebuilt.end(), std::size_t{header.map_first} * header.map_entry_bytes(), std::uint8_t{0});
    const auto map = file.subspan(tga_header_size + header.id_length, header.map_bytes());
    rebuilt.insert(rebuilt.end(), map.begin(), map.end());
  }
  rebuilt.insert(rebuilt.end(), pixel_data.begin(), pixel_data.end());
  return rebuilt;
}

}  // namespace api32::image::detail
