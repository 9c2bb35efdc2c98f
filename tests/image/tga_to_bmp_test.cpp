// Tests of the TGA-to-BMP converter: TGAs written by ImageMagick and built byte by byte, damaged and hostile
// files, and destinations that cannot be written.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "api32/image/tga_to_bmp.hpp"
#include "image_test_support.hpp"
#include "support/test_support.hpp"

namespace api32::image {
namespace {

using testing::bytes;
using testing::picture;
using testing::rgba;

struct conversion {
  int result = 0;
  std::optional<testing::bmp_image> colour;
  std::optional<testing::bmp_image> alpha;
  std::string why;
};

// Converts dir/src.tga to dir/out.bmp and dir/outa.bmp, given as Windows paths, and reads both back.
conversion convert(const testing::temp_dir& dir, const std::string& source = "src.tga") {
  conversion c;
  c.result = tga_to_bmps(dir.windows(source), dir.windows("out.bmp"), dir.windows("outa.bmp"));
  if (testing::exists(dir / "out.bmp")) c.colour = testing::read_bmp(dir / "out.bmp", &c.why);
  if (testing::exists(dir / "outa.bmp")) c.alpha = testing::read_bmp(dir / "outa.bmp", &c.why);
  return c;
}

// The colour BMP is 24-bit with the picture's colours; the alpha BMP 8-bit over a grey ramp with its alpha
// (255 throughout when the image has none).
void expect_converted(const conversion& c, const picture& expected, bool has_alpha) {
  ASSERT_EQ(c.result, tga_converted);
  ASSERT_TRUE(c.colour && c.alpha) << c.why;
  EXPECT_EQ(c.colour->bits, 24);
  EXPECT_EQ(c.alpha->bits, 8);
  ASSERT_EQ(c.colour->width, expected.width);
  ASSERT_EQ(c.colour->height, expected.height);
  ASSERT_EQ(c.alpha->width, expected.width);
  ASSERT_EQ(c.alpha->height, expected.height);
  ASSERT_EQ(c.alpha->palette.size(), 256u);
  for (std::uint32_t level = 0; level < 256; ++level) ASSERT_EQ(c.alpha->palette[level], level * 0x010101u);
  for (std::uint32_t y = 0; y < expected.height; ++y) {
    for (std::uint32_t x = 0; x < expected.width; ++x) {
      rgba want = expected.at(x, y);
      const std::size_t i = std::size_t{y} * expected.width + x;
      ASSERT_EQ(c.alpha->indices[i], has_alpha ? want.a : 255) << "alpha at " << x << "," << y;
      want.a = 255;
      ASSERT_EQ(c.colour->pixels[i], want) << "colour at " << x << "," << y;
    }
  }
}

// A picture with runs of equal pixels (so run-length files have both kinds of packet), at most 256 colours.
picture runs_pattern(bool grey) {
  picture p = testing::pattern(13, 9, grey);
  picture wide{37, 9, {}};
  for (std::uint32_t y = 0; y < wide.height; ++y) {
    for (std::uint32_t x = 0; x < wide.width; ++x) wide.pixels.push_back(p.at(x / 3, y));
  }
  return wide;
}

// ImageMagick 6 keeps a TGA's rows in the order it holds them and only labels the origin (it treats the
// origin as orientation metadata, like an EXIF tag), so a plain "convert x.pam x.tga" stores the top row first
// under a bottom-left label: upside down to every reader that follows the format. Each variant therefore
// turns the picture so that the stored rows match the origin it writes, and ImageMagick's own oriented reading
// (-auto-orient) must give the original picture back before the converter's output is compared with it.
TEST(TgaToBmp, ConvertsTgasWrittenByImageMagick) {
  struct variant {
    const char* name;
    const char* options;
    bool grey_source;
    std::uint8_t image_type, pixel_bits, origin_bits;  // what ImageMagick should have written
    bool has_alpha;
  };
  const variant variants[] = {
      {"32-bit", "-flip -orient BottomLeft -compress None", false, 2, 32, 0x00, true},
      {"32-bit RLE", "-flip -orient BottomLeft -compress RLE", false, 10, 32, 0x00, true},
      {"24-bit", "-alpha off -flip -orient BottomLeft -compress None", false, 2, 24, 0x00, false},
      {"24-bit RLE", "-alpha off -flip -orient BottomLeft -compress RLE", false, 10, 24, 0x00, false},
      {"grey", "-alpha off -colorspace Gray -flip -orient BottomLeft -compress None", true, 3, 8, 0x00, false},
      {"grey RLE", "-alpha off -type Grayscale -flip -orient BottomLeft -compress RLE", true, 11, 8, 0x00, false},
      {"palette", "-alpha off -type Palette -flip -orient BottomLeft -compress None", false, 1, 8, 0x00, false},
      {"palette RLE", "-alpha off -type Palette -flip -orient BottomLeft -compress RLE", false, 9, 8, 0x00, false},
      {"top-left origin", "-orient TopLeft -compress None", false, 2, 32, 0x20, true},
      {"top-left origin, grey RLE", "-alpha off -type Grayscale -orient TopLeft -compress RLE", true, 11, 8, 0x20,
       false},
      {"top-right origin RLE", "-flop -orient TopRight -compress RLE", false, 10, 32, 0x30, true},
      {"bottom-right origin", "-alpha off -rotate 180 -orient BottomRight -compress None", false, 2, 24, 0x10, false},
  };
  for (const variant& v : variants) {
    SCOPED_TRACE(v.name);
    testing::temp_dir dir;
    const picture source = runs_pattern(v.grey_source);
    testing::write_pam(dir / "src.pam", source);
    ASSERT_EQ(testing::run("convert " + dir / "src.pam" + " " + v.options + " " + dir / "src.tga"), 0);
    const bytes tga = testing::read_bytes(dir / "src.tga");
    ASSERT_GE(tga.size(), 18u);
    ASSERT_EQ(tga[2], v.image_type);
    ASSERT_EQ(tga[16], v.pixel_bits);
    ASSERT_EQ(tga[17] & 0x30, v.origin_bits);

    const std::string oriented = testing::run_output("convert " + dir / "src.tga" + " -auto-orient -depth 8 rgba:-");
    ASSERT_EQ(oriented.size(), source.pixels.size() * 4);
    for (std::size_t i = 0; i < source.pixels.size(); ++i) {
      const rgba& p = source.pixels[i];
      const rgba seen{static_cast<std::uint8_t>(oriented[i * 4]), static_cast<std::uint8_t>(oriented[i * 4 + 1]),
                      static_cast<std::uint8_t>(oriented[i * 4 + 2]), static_cast<std::uint8_t>(oriented[i * 4 + 3])};
      ASSERT_EQ(seen, (rgba{p.r, p.g, p.b, v.has_alpha ? p.a : std::uint8_t{255}})) << "ImageMagick's pixel " << i;
    }
    expect_converted(convert(dir), source, v.has_alpha);
  }
}

// ---- TGAs built byte by byte, for the layouts ImageMagick does not write

std::uint16_t pack555(const rgba& p, bool attribute) {
  return static_cast<std::uint16_t>((attribute ? 0x8000 : 0) | ((p.r >> 3) << 10) | ((p.g >> 3) << 5) | (p.b >> 3));
}
bytes le16(std::uint16_t v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
std::uint8_t widen5(std::uint8_t c) { return static_cast<std::uint8_t>(((c >> 3) * 255) / 31); }
rgba from555(const rgba& p, bool alpha_bit) {
  return {widen5(p.r), widen5(p.g), widen5(p.b), static_cast<std::uint8_t>(alpha_bit ? (p.a >= 128 ? 255 : 0) : 255)};
}

// A colour map over the picture's distinct colours: entries written by `entry`, pixels as their indices.
struct colour_map {
  std::map<std::uint32_t, std::uint16_t> index_of;
  bytes entries;
  colour_map(const picture& p, std::uint16_t first, const std::function<bytes(const rgba&)>& entry) {
    for (const rgba& c : p.pixels) {
      const std::uint32_t key = (std::uint32_t{c.r} << 24) | (c.g << 16) | (c.b << 8) | c.a;
      if (index_of.count(key)) continue;
      index_of[key] = static_cast<std::uint16_t>(first + index_of.size());
      const bytes e = entry(c);
      entries.insert(entries.end(), e.begin(), e.end());
    }
  }
  std::uint16_t operator()(const rgba& c) const {
    return index_of.at((std::uint32_t{c.r} << 24) | (c.g << 16) | (c.b << 8) | c.a);
  }
};

TEST(TgaToBmp, ConvertsEveryLayoutOfTheFormat) {
  const picture colours = testing::pattern(5, 4);
  const picture greys = testing::pattern(5, 4, true);
  const bytes footer = {0,   0,   0,   0,   0,   0,   0,   0,   'T', 'R', 'U', 'E', 'V',
                        'I', 'S', 'I', 'O', 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};
  const colour_map map_bgr(colours, 2, [](const rgba& c) { return bytes{c.b, c.g, c.r}; });
  const colour_map map_bgra(colours, 300, [](const rgba& c) { return bytes{c.b, c.g, c.r, c.a}; });
  const colour_map map_555a(colours, 0, [](const rgba& c) { return le16(pack555(c, c.a >= 128)); });
  const colour_map map_555(colours, 0, [](const rgba& c) { return le16(pack555(c, false)); });
  const colour_map map_grey(greys, 0, [](const rgba& c) { return bytes{c.r}; });

  struct layout {
    const char* name;
    testing::tga_fields fields;
    const picture* source;
    std::function<bytes(const rgba&)> value;    // the stored pixel value
    std::function<rgba(const rgba&)> expected;  // the pixel read back (with its alpha)
    bool has_alpha;
  };
  auto fields = [](std::uint8_t type, std::uint8_t bits, std::uint8_t descriptor) {
    testing::tga_fields f;
    f.image_type = type;
    f.pixel_bits = bits;
    f.descriptor = descriptor;
    f.width = 5;
    f.height = 4;
    return f;
  };
  auto with_map = [](testing::tga_fields f, std::uint16_t first, std::uint8_t entry_bits, const bytes& entries) {
    f.colour_map_type = 1;
    f.map_first = first;
    f.map_entry_bits = entry_bits;
    f.map = entries;
    return f;
  };
  auto same = [](const rgba& c) { return c; };
  auto opaque = [](rgba c) {
    c.a = 255;
    return c;
  };
  auto bgr = [](const rgba& c) { return bytes{c.b, c.g, c.r}; };

  testing::tga_fields id_and_unused_map = with_map(fields(2, 24, 0x20), 0, 24, bytes(9, 0x55));
  id_and_unused_map.id = {'h', 'e', 'l', 'l', 'o'};
  id_and_unused_map.trailer = footer;

  const std::vector<layout> layouts = {
      {"16-bit colour with attribute bit", fields(2, 16, 0x01), &colours,
       [](const rgba& c) { return le16(pack555(c, c.a >= 128)); }, [](const rgba& c) { return from555(c, true); },
       true},
      {"16-bit colour with attribute bit, RLE, top-left", fields(10, 16, 0x21), &colours,
       [](const rgba& c) { return le16(pack555(c, c.a >= 128)); }, [](const rgba& c) { return from555(c, true); },
       true},
      {"16-bit colour without attribute bits", fields(2, 16, 0x00), &colours,
       [](const rgba& c) { return le16(pack555(c, true)); }, [](const rgba& c) { return from555(c, false); }, false},
      {"15-bit colour", fields(10, 15, 0x00), &colours, [](const rgba& c) { return le16(pack555(c, false)); },
       [](const rgba& c) { return from555(c, false); }, false},
      {"16-bit grey with alpha", fields(3, 16, 0x08), &greys,
       [](const rgba& c) {
         return bytes{c.r, c.a};
       },
       same, true},
      {"16-bit grey with alpha, RLE, right-to-left", fields(11, 16, 0x18), &greys,
       [](const rgba& c) {
         return bytes{c.r, c.a};
       },
       same, true},
      {"right-to-left top-down 24-bit RLE", fields(10, 24, 0x30), &colours, bgr, opaque, false},
      {"32-bit right-to-left bottom-up", fields(2, 32, 0x18), &colours,
       [](const rgba& c) {
         return bytes{c.b, c.g, c.r, c.a};
       },
       same, true},
      {"colour map starting at entry 2", with_map(fields(1, 8, 0x00), 2, 24, map_bgr.entries), &colours,
       [&](const rgba& c) { return bytes{static_cast<std::uint8_t>(map_bgr(c))}; }, opaque, false},
      {"32-bit colour map, 16-bit indices, RLE", with_map(fields(9, 16, 0x28), 300, 32, map_bgra.entries), &colours,
       [&](const rgba& c) { return le16(map_bgra(c)); }, same, true},
      {"16-bit colour map with attribute bit", with_map(fields(1, 8, 0x01), 0, 16, map_555a.entries), &colours,
       [&](const rgba& c) { return bytes{static_cast<std::uint8_t>(map_555a(c))}; },
       [](const rgba& c) { return from555(c, true); }, true},
      {"15-bit colour map, RLE", with_map(fields(9, 8, 0x00), 0, 15, map_555.entries), &colours,
       [&](const rgba& c) { return bytes{static_cast<std::uint8_t>(map_555(c))}; },
       [](const rgba& c) { return from555(c, false); }, false},
      {"grey colour map", with_map(fields(1, 8, 0x20), 0, 8, map_grey.entries), &greys,
       [&](const rgba& c) { return bytes{static_cast<std::uint8_t>(map_grey(c))}; }, opaque, false},
      {"id, unused colour map and footer", id_and_unused_map, &colours, bgr, opaque, false},
  };
  for (const layout& l : layouts) {
    SCOPED_TRACE(l.name);
    testing::temp_dir dir;
    std::vector<bytes> values;
    picture expected{l.source->width, l.source->height, {}};
    for (const rgba& c : l.source->pixels) {
      values.push_back(l.value(c));
      expected.pixels.push_back(l.expected(c));
    }
    testing::write_bytes(dir / "src.tga", testing::build_tga(l.fields, values));
    expect_converted(convert(dir), expected, l.has_alpha);
  }
}

// ---- damaged and hostile files

TEST(TgaToBmp, RefusesDamagedAndHostileFilesWithoutWritingAnything) {
  testing::tga_fields raw;
  raw.width = 4;
  raw.height = 4;
  const std::vector<bytes> grey16(16, bytes{0x11, 0x22, 0x33});
  const bytes good_raw = testing::build_tga(raw, grey16);
  testing::tga_fields rle = raw;
  rle.image_type = 10;
  const bytes good_rle = testing::build_tga(rle, grey16);  // one run of 16 pixels: 0x8F + 3 bytes
  ASSERT_EQ(good_rle.size(), 18u + 4u);

  auto header = [](std::uint8_t map_type, std::uint8_t type, std::uint16_t first, std::uint16_t length,
                   std::uint8_t entry_bits, std::uint16_t w, std::uint16_t h, std::uint8_t bits) {
    return bytes{0,
                 map_type,
                 type,
                 static_cast<std::uint8_t>(first),
                 static_cast<std::uint8_t>(first >> 8),
                 static_cast<std::uint8_t>(length),
                 static_cast<std::uint8_t>(length >> 8),
                 entry_bits,
                 0,
                 0,
                 0,
                 0,
                 static_cast<std::uint8_t>(w),
                 static_cast<std::uint8_t>(w >> 8),
                 static_cast<std::uint8_t>(h),
                 static_cast<std::uint8_t>(h >> 8),
                 bits,
                 0};
  };
  auto join = [](bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  auto cut = [](bytes a, std::size_t n) {
    a.resize(a.size() - n);
    return a;
  };
  const bytes two_entries = {1, 2, 3, 4, 5, 6};

  const std::vector<std::pair<const char*, bytes>> files = {
      {"empty file", {}},
      {"shorter than a header", bytes(good_raw.begin(), good_raw.begin() + 17)},
      {"65535 x 65535 declared, a few bytes given", join(header(0, 2, 0, 0, 0, 65535, 65535, 24), bytes(100, 7))},
      {"over the pixel cap, run-length", join(header(0, 11, 0, 0, 0, 8192, 8193, 8), bytes(4096, 0xFF))},
      {"run-length image claiming far more than its data",
       join(header(0, 10, 0, 0, 0, 4000, 4000, 32), bytes(50, 0xFF))},
      {"uncompressed data one byte short", cut(good_raw, 1)},
      {"run-length data cut short", cut(good_rle, 1)},
      {"run-length packet past the last pixel", join(header(0, 10, 0, 0, 0, 2, 2, 24), {0x84, 1, 2, 3})},
      {"raw packet past the last pixel", join(header(0, 10, 0, 0, 0, 1, 1, 24), {0x01, 1, 2, 3, 4, 5, 6})},
      {"id field cut short", join(bytes{200}, bytes(good_raw.begin() + 1, good_raw.begin() + 40))},
      {"colour map cut short", join(header(1, 1, 0, 200, 24, 2, 2, 8), bytes(30, 0))},
      {"colour index past the map", join(join(header(1, 1, 0, 2, 24, 2, 1, 8), two_entries), {1, 2})},
      {"colour index below the first entry", join(join(header(1, 1, 4, 2, 24, 2, 1, 8), two_entries), {4, 3})},
      {"run of a bad colour index", join(join(header(1, 9, 0, 2, 24, 2, 1, 8), two_entries), {0x81, 9})},
      {"colour-mapped without a colour map", join(header(0, 1, 0, 0, 0, 2, 1, 8), {0, 0})},
      {"empty colour map", join(header(1, 1, 0, 0, 24, 2, 1, 8), {0, 0})},
      {"24-bit colour indices", join(join(header(1, 1, 0, 2, 24, 1, 1, 24), two_entries), {0, 0, 0})},
      {"colour map type 2", join(header(2, 2, 0, 0, 0, 1, 1, 24), {1, 2, 3})},
      {"image type 0 (no image)", join(header(0, 0, 0, 0, 0, 1, 1, 24), {1, 2, 3})},
      {"image type 32 (Huffman)", join(header(0, 32, 0, 0, 0, 1, 1, 24), {1, 2, 3})},
      {"12-bit colour", join(header(0, 2, 0, 0, 0, 1, 1, 12), {1, 2})},
      {"zero width", header(0, 2, 0, 0, 0, 0, 5, 24)},
  };
  for (const auto& [name, content] : files) {
    SCOPED_TRACE(name);
    testing::temp_dir dir;
    testing::write_bytes(dir / "src.tga", content);
    EXPECT_EQ(convert(dir).result, tga_source_unreadable);
    EXPECT_EQ(testing::folder_entries(dir.path()), std::vector<std::string>{"src.tga"});
  }
}

TEST(TgaToBmp, RefusesWhatIsNoTgaFile) {
  testing::temp_dir dir;
  testing::write_pam(dir / "p.pam", testing::pattern(4, 4));
  ASSERT_EQ(testing::run("convert " + dir / "p.pam" + " " + dir / "src.png"), 0);
  ASSERT_EQ(testing::run("convert " + dir / "p.pam" + " " + dir / "src.bmp"), 0);
  ASSERT_EQ(testing::run("mkdir " + dir / "folder.tga"), 0);
  for (const char* source : {"src.png", "src.bmp", "missing.tga", "folder.tga", "p.pam"}) {
    SCOPED_TRACE(source);
    EXPECT_EQ(convert(dir, source).result, tga_source_unreadable);
    EXPECT_FALSE(testing::exists(dir / "out.bmp"));
    EXPECT_FALSE(testing::exists(dir / "outa.bmp"));
  }
  // A missing source is reported as such even when the destinations could not be written either.
  EXPECT_EQ(tga_to_bmps(dir.windows("missing.tga"), "", ""), tga_source_unreadable);
}

// ---- destinations

class TgaDestinations : public ::testing::Test {
protected:
  void SetUp() override {
    testing::write_pam(dir / "p.pam", image);
    ASSERT_EQ(testing::run("convert " + dir / "p.pam" + " " + dir / "src.tga"), 0);
  }
  std::vector<std::string> entries() const { return testing::folder_entries(dir.path()); }

  testing::temp_dir dir;
  picture image = testing::pattern(6, 3);
};

TEST_F(TgaDestinations, AnEmptySecondDestinationWritesOnlyTheColour) {
  EXPECT_EQ(tga_to_bmps(dir / "src.tga", dir.windows("c.bmp"), ""), tga_converted);
  EXPECT_EQ(entries(), (std::vector<std::string>{"c.bmp", "p.pam", "src.tga"}));
  auto colour = testing::read_bmp(dir / "c.bmp");
  ASSERT_TRUE(colour);
  EXPECT_EQ(colour->bits, 24);
}

TEST_F(TgaDestinations, ExistingFilesAreReplacedOnlyBySuccess) {
  testing::write_file(dir / "c.bmp", "old colour");
  testing::write_file(dir / "a.bmp", "old alpha");
  // The second destination cannot be written: neither file changes, no temporary file stays behind.
  EXPECT_EQ(tga_to_bmps(dir / "src.tga", dir / "c.bmp", dir.windows("missing\\a.bmp")), tga_destination_failed);
  EXPECT_EQ(testing::read_file(dir / "c.bmp"), "old colour");
  EXPECT_EQ(entries(), (std::vector<std::string>{"a.bmp", "c.bmp", "p.pam", "src.tga"}));

  ASSERT_EQ(tga_to_bmps(dir / "src.tga", dir / "c.bmp", dir / "a.bmp"), tga_converted);
  EXPECT_TRUE(testing::read_bmp(dir / "c.bmp"));
  EXPECT_TRUE(testing::read_bmp(dir / "a.bmp"));
  EXPECT_EQ(entries(), (std::vector<std::string>{"a.bmp", "c.bmp", "p.pam", "src.tga"}));
}

TEST_F(TgaDestinations, UnwritableDestinationsFailWithMinusOne) {
  ASSERT_EQ(testing::run("mkdir " + dir / "sub"), 0);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},                                            // no destination at all
      {dir.windows("missing\\c.bmp"), ""},                 // folder missing
      {dir.windows("sub"), ""},                            // a folder is in the way
      {dir.windows("sub\\"), dir.windows("a.bmp")},        // a folder name
      {dir.windows("c.bmp"), dir.windows("sub")},          // the alpha's name is a folder
      {"\\\\server\\share\\c.bmp", dir.windows("a.bmp")},  // unreachable
  };
  for (const auto& [dest, desta] : cases) {
    SCOPED_TRACE(dest + " | " + desta);
    EXPECT_EQ(tga_to_bmps(dir / "src.tga", dest, desta), tga_destination_failed);
    EXPECT_EQ(entries(), (std::vector<std::string>{"p.pam", "src.tga", "sub"}));
    EXPECT_EQ(testing::folder_entries(dir / "sub"), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace api32::image
