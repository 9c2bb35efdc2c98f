// Buffer compression: of_compress / of_uncompress with their capacities, filler, message boxes and null
// outputs, and the guard that keeps an untrusted uncompressed length from costing memory.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <random>
#include <string>

#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_compress_limits.hpp"
#include "support/test_support.hpp"

using api32::blob;
using api32::message;
using api32::msg_icon;
using api32::uo_nv_ziplib;

namespace {

const char* const uncompress_title = "Ziplib Error in of_uncompress";

blob pattern_bytes(std::size_t n, unsigned seed = 7) {
  // text-like data with some randomness: compresses, but not to nothing
  std::mt19937 rng(seed);
  const std::string words[] = {"addon ", "mod ", "texture ", "readme ", "\r\n", "v1.2 ", "[Settings]\r\n"};
  blob b;
  while (b.size() < n) {
    const std::string& w = words[rng() % 7];
    b.insert(b.end(), w.begin(), w.end());
    b.push_back(static_cast<std::uint8_t>(rng()));
  }
  b.resize(n);
  return b;
}

blob zlib_compress(const blob& data, int level = Z_DEFAULT_COMPRESSION) {
  uLongf n = compressBound(data.size());
  blob out(n);
  EXPECT_EQ(compress2(out.data(), &n, data.data(), data.size(), level), Z_OK);
  out.resize(n);
  return out;
}

// The peak resident set, after resetting the high-water mark to the current size; -1 where the kernel does
// not allow the reset.
long peak_rss_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}
long current_rss_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}
// The address sanitizer writes one shadow byte per eight bytes of an allocation, reserved or not.
long sanitizer_shadow_mib(std::uint32_t allocated) {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<long>(allocated >> 23) + 1;
#else
  (void)allocated;
  return 0;
#endif
}

bool reset_peak_rss() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

}  // namespace

TEST(ZipCompressCapacity, IsLengthTimesOnePointZeroOnePlusTwelveTruncated) {
  using api32::ziplib::compress_capacity;
  EXPECT_EQ(compress_capacity(0), 12u);
  EXPECT_EQ(compress_capacity(1), 13u);                    // 13.01
  EXPECT_EQ(compress_capacity(99), 111u);                  // 111.99: the fraction is dropped, not rounded
  EXPECT_EQ(compress_capacity(1000), 1022u);               // 1022.00
  EXPECT_EQ(compress_capacity(4252442850u), 4294967290u);  // 4294967290.50
  EXPECT_EQ(compress_capacity(4252442866u), 0xFFFFFFFFu);  // 4294967306.66, above the largest ulong
  EXPECT_EQ(compress_capacity(0xFFFFFFFFu), 0xFFFFFFFFu);  // capped at the largest ulong
  EXPECT_EQ(compress_capacity(0x100000000ull), std::nullopt);
}

TEST(ZipCompress, ThousandBytesFitTheCapacityAndAreAValidZlibStream) {
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  blob source = pattern_bytes(1000);
  std::optional<blob> compressed;
  ASSERT_TRUE(zl.of_compress(source, compressed));
  ASSERT_TRUE(compressed);
  EXPECT_LT(compressed->size(), 1022u);
  // zlib itself reads it back
  blob back(1000);
  uLongf n = back.size();
  ASSERT_EQ(::uncompress(back.data(), &n, compressed->data(), compressed->size()), Z_OK);
  EXPECT_EQ(n, 1000u);
  EXPECT_EQ(back, source);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST(ZipCompress, IncompressibleDataStillFitsTheCapacity) {
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  for (std::size_t n : {1u, 100u, 70000u}) {
    blob source(n);
    std::mt19937 rng(static_cast<unsigned>(n));
    for (auto& b : source) b = static_cast<std::uint8_t>(rng());
    std::optional<blob> compressed;
    ASSERT_TRUE(zl.of_compress(source, compressed)) << n;
    std::optional<blob> back;
    ASSERT_TRUE(zl.of_uncompress(*compressed, static_cast<std::uint32_t>(n), back)) << n;
    EXPECT_EQ(*back, source) << n;
  }
  EXPECT_TRUE(boxes.boxes().empty());
}

struct destlen_case {
  std::uint32_t destlen;
  bool ok;
  const char* text;  // message box text on failure
};

class ZipUncompressLength : public ::testing::TestWithParam<destlen_case> {};

TEST_P(ZipUncompressLength, ShorterFailsLongerIsPaddedWithSpaces) {
  const destlen_case& c = GetParam();
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  blob source = pattern_bytes(1000);
  blob compressed = zlib_compress(source);
  std::optional<blob> out = blob{1, 2, 3};  // a failure must null it
  EXPECT_EQ(zl.of_uncompress(compressed, c.destlen, out), c.ok);
  if (c.ok) {
    ASSERT_TRUE(out);
    ASSERT_EQ(out->size(), c.destlen);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), out->begin()));
    EXPECT_TRUE(std::all_of(out->begin() + 1000, out->end(), [](std::uint8_t b) { return b == ' '; }));
    EXPECT_TRUE(boxes.boxes().empty());
  } else {
    EXPECT_FALSE(out);
    EXPECT_EQ(boxes.boxes(), (std::vector<message>{{uncompress_title, c.text, msg_icon::stop}}));
  }
}

INSTANTIATE_TEST_SUITE_P(Destlen, ZipUncompressLength,
                         ::testing::Values(destlen_case{999, false, "Not enough room in the output buffer!"},
                                           destlen_case{1000, true, ""}, destlen_case{1010, true, ""},
                                           destlen_case{0, false, "Not enough room in the output buffer!"}),
                         [](const auto& info) { return "destlen_" + std::to_string(info.param.destlen); });

TEST(ZipUncompress, DamagedStreamsAreReportedAsCorrupted) {
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  blob good = zlib_compress(pattern_bytes(5000));
  struct {
    const char* name;
    blob data;
  } cases[] = {
      {"first byte changed",
       [&] {
         blob b = good;
         b[0] ^= 0x55;
         return b;
       }()},
      {"checksum changed",
       [&] {
         blob b = good;
         b.back() ^= 1;
         return b;
       }()},
      {"cut in the middle", blob(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
      {"checksum missing", blob(good.begin(), good.end() - 4)},
      {"empty", blob{}},
      {"not zlib at all", blob{'P', 'K', 3, 4, 0, 0, 0, 0}},
  };
  for (auto& c : cases) {
    boxes.clear();
    std::optional<blob> out = blob{1};
    EXPECT_FALSE(zl.of_uncompress(c.data, 5000, out)) << c.name;
    EXPECT_FALSE(out) << c.name;
    EXPECT_EQ(boxes.boxes(),
              (std::vector<message>{{uncompress_title, "The input data was corrupted!", msg_icon::stop}}))
        << c.name;
  }
}

TEST(ZipUncompress, TrailingBytesAfterTheStreamAreIgnored) {
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  blob source = pattern_bytes(3000);
  blob data = zlib_compress(source);
  data.insert(data.end(), {'x', 'y', 'z'});
  std::optional<blob> out;
  ASSERT_TRUE(zl.of_uncompress(data, 3000, out));
  EXPECT_EQ(*out, source);
}

TEST(ZipCompressText, EmptyTextGivesAShortStreamThatReadsBackEmpty) {
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  std::optional<blob> compressed;
  ASSERT_TRUE(zl.of_compress(std::string(), compressed));
  ASSERT_TRUE(compressed);
  EXPECT_GE(compressed->size(), 8u);  // header, an empty block, the checksum
  EXPECT_LE(compressed->size(), 12u);
  std::optional<std::string> text = "not yet";
  ASSERT_TRUE(zl.of_uncompress(*compressed, 0, text));
  EXPECT_EQ(text, "");
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST(ZipCompressText, RoundTripsThroughWindows1252) {
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  struct {
    std::string text;
    std::string back;
  } cases[] = {
      {"plain ascii\r\nline two", "plain ascii\r\nline two"},
      {"Grüße, naïve café – 100 € … ‰", "Grüße, naïve café – 100 € … ‰"},  // all in the code page
      {"日本 ok", "?? ok"},  // outside the code page: one "?" per character, so the length holds
  };
  for (auto& c : cases) {
    std::optional<blob> compressed;
    ASSERT_TRUE(zl.of_compress(c.text, compressed)) << c.text;
    auto chars = static_cast<std::uint32_t>(api32::text::len(c.text));
    std::optional<std::string> text;
    ASSERT_TRUE(zl.of_uncompress(*compressed, chars, text)) << c.text;
    EXPECT_EQ(text, c.back);
    // a longer length keeps the filler
    ASSERT_TRUE(zl.of_uncompress(*compressed, chars + 3, text));
    EXPECT_EQ(text, c.back + "   ");
  }
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST(ZipUncompress, TextOverloadNullsItsOutputOnFailure) {
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  std::optional<blob> compressed;
  ASSERT_TRUE(zl.of_compress(std::string("twelve chars"), compressed));
  std::optional<std::string> text = "before";
  EXPECT_FALSE(zl.of_uncompress(*compressed, 11, text));
  EXPECT_FALSE(text);
  EXPECT_EQ(boxes.boxes(),
            (std::vector<message>{{uncompress_title, "Not enough room in the output buffer!", msg_icon::stop}}));
}

// An uncompressed length from untrusted input must not cost memory the data does not need.
TEST(ZipUncompressMemory, LengthAboveTheLimitIsRefusedBeforeAnyAllocation) {
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  blob compressed = zlib_compress(pattern_bytes(100));
  for (std::uint32_t destlen : {api32::ziplib::uncompress_limit + 1, 3u << 30, 0xFFFFFFFFu}) {
    boxes.clear();
    std::optional<blob> out = blob{1};
    EXPECT_FALSE(zl.of_uncompress(compressed, destlen, out)) << destlen;
    EXPECT_FALSE(out);
    EXPECT_EQ(boxes.boxes(), (std::vector<message>{{uncompress_title, "Not enough memory!", msg_icon::stop}}));
  }
}

TEST(ZipUncompressMemory, AGenerousLengthCostsOnlyWhatTheDataNeeds) {
  if (!reset_peak_rss() || peak_rss_kib() < 0) GTEST_SKIP() << "peak RSS cannot be reset here";
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  const std::uint32_t generous = 900u << 20;  // under the limit, but far more than the data
  blob zeros(8u << 20, 0);
  blob bomb = zlib_compress(blob(64u << 20, 0), 9);  // 64 MiB of zeros in ~64 KiB
  struct {
    const char* name;
    blob data;
    std::uint32_t destlen;
    const char* text;
  } cases[] = {
      // 8 MiB of data, then damage: fails after 8 MiB, never near 900 MiB
      {"damaged after 8 MiB",
       [&] {
         blob b = zlib_compress(zeros);
         b.back() ^= 1;
         return b;
       }(),
       generous, "The input data was corrupted!"},
      {"truncated",
       [&] {
         blob b = zlib_compress(pattern_bytes(4u << 20));
         b.resize(b.size() / 2);
         return b;
       }(),
       generous, "The input data was corrupted!"},
      // a stream that expands far beyond the length given stops at that length
      {"bomb beyond the length", bomb, 16u << 20, "Not enough room in the output buffer!"},
  };
  for (auto& c : cases) {
    boxes.clear();
    ASSERT_TRUE(reset_peak_rss());
    long before = current_rss_kib();
    std::optional<blob> out;
    EXPECT_FALSE(zl.of_uncompress(c.data, c.destlen, out)) << c.name;
    long grown_mib = (peak_rss_kib() - before) / 1024;
    // the data's few MiB (and the inflate state), not hundreds; the address sanitizer adds its shadow of the
    // reserved (untouched) length
    EXPECT_LT(grown_mib, 48 + sanitizer_shadow_mib(c.destlen)) << c.name;
    EXPECT_EQ(boxes.boxes(), (std::vector<message>{{uncompress_title, c.text, msg_icon::stop}})) << c.name;
  }
}

TEST(ZipUncompressGrowing, ReportsWhatWasInflatedBeforeAFailure) {
  // the binding's contract: the output holds exactly the bytes produced, never beyond the limit
  blob source = pattern_bytes(300000);
  blob compressed = zlib_compress(source);
  blob out;
  EXPECT_EQ(api32::ziplib::inflate_growing(compressed.data(), compressed.size(), 200000, out), Z_BUF_ERROR);
  EXPECT_EQ(out.size(), 200000u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), source.begin()));
  EXPECT_EQ(api32::ziplib::inflate_growing(compressed.data(), compressed.size(), 300000, out), Z_OK);
  EXPECT_EQ(out, source);
}
