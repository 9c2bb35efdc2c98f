// uncompress_fuzz.cpp - of_uncompress (both overloads) on arbitrary data and lengths, checked against zlib's
// own uncompress: the same inputs succeed, with the same bytes, and a failure never costs memory the data
// does not justify, however large the length the caller passed.
//
// Input: one byte of options, four bytes of length (little endian), then the compressed data.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_compress_limits.hpp"
#include "fuzz/support/fuzz_support.hpp"

namespace {

// A success pads the result to the caller's length: lengths beyond this are only passed where zlib says the
// data fails, so the padding a caller asked for never counts against the memory limit.
constexpr std::uint32_t padded_length_cap = 1u << 20;

struct reference {
  int rc = Z_DATA_ERROR;
  std::uint64_t produced = 0;  // bytes inflated before the stream ended or failed
};

// What zlib's uncompress would answer for `limit`, counted without keeping the output.
reference inflate_reference(const std::uint8_t* src, std::size_t size, std::uint64_t limit) {
  reference ref;
  z_stream s{};
  if (inflateInit(&s) != Z_OK) api32::fuzz::fail("inflateInit");
  s.next_in = const_cast<Bytef*>(src);
  s.avail_in = static_cast<uInt>(size);
  std::vector<std::uint8_t> window(1 << 16);
  for (;;) {
    s.next_out = window.data();
    s.avail_out = static_cast<uInt>(window.size());
    int rc = inflate(&s, Z_NO_FLUSH);
    ref.produced += window.size() - s.avail_out;
    if (ref.produced > limit) {
      ref.rc = Z_BUF_ERROR;
      break;
    }
    if (rc == Z_STREAM_END) {
      ref.rc = Z_OK;
      break;
    }
    if (rc == Z_OK) continue;
    if (rc == Z_BUF_ERROR && s.avail_out == 0) continue;
    ref.rc = rc == Z_MEM_ERROR ? Z_MEM_ERROR : Z_DATA_ERROR;  // damaged, truncated, or needs a dictionary
    break;
  }
  inflateEnd(&s);
  return ref;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  api32::fuzz::silence_message_boxes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const bool as_text = (data[0] & 1) != 0;
  std::uint32_t length = 0;
  std::memcpy(&length, data + 1, 4);  // little-endian machine
  const api32::blob source(data + 5, data + size);

  const reference ref = inflate_reference(source.data(), source.size(), api32::ziplib::uncompress_limit);
  const bool fits = ref.rc == Z_OK && ref.produced <= length;
  if (fits && length > padded_length_cap) length = static_cast<std::uint32_t>(ref.produced) + (length & 0xFFFF);
  const bool should_succeed = length <= api32::ziplib::uncompress_limit && ref.rc == Z_OK && ref.produced <= length;

  api32::uo_nv_ziplib zl;
  std::optional<std::string> text;
  std::optional<api32::blob> blob;
  const bool ok = as_text ? zl.of_uncompress(source, length, text) : zl.of_uncompress(source, length, blob);
  if (ok != (as_text ? text.has_value() : blob.has_value()))
    api32::fuzz::fail("the result's null state disagrees with the return value");
  if (ok != should_succeed)
    api32::fuzz::fail(std::string("of_uncompress ") + (ok ? "succeeded" : "failed") + " where zlib " +
                      (should_succeed ? "succeeds" : "fails"));
  if (!ok) return 0;

  // zlib's answer, padded with blanks to the length asked for
  std::vector<std::uint8_t> expected(length, ' ');
  uLongf expected_length = length;
  if (length > 0 && uncompress(expected.data(), &expected_length, source.data(), source.size()) != Z_OK)
    api32::fuzz::fail("zlib's uncompress fails where the reference succeeded");
  if (as_text) {
    // one character per byte, as Windows-1252 reads it
    if (*text != api32::text::from_cp1252(std::string_view(reinterpret_cast<const char*>(expected.data()), length)))
      api32::fuzz::fail("of_uncompress gives another text than zlib's bytes read as Windows-1252");
  } else if (*blob != expected) {
    api32::fuzz::fail("of_uncompress gives other bytes than zlib, or other padding");
  }
  return 0;
}
