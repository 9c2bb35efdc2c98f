// crc32.cpp - CRC-32 by carry-less multiplication where the processor has it (folding 64 bytes per step,
// several times faster than tables), and through zlib for short inputs and other processors.
#include "tools/rar/crc32.hpp"

#include <zlib.h>

#include <algorithm>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace rartool {
namespace {

std::uint32_t zlib_crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  uLong value = crc;
  while (size > 0) {
    std::size_t chunk = std::min<std::size_t>(size, std::numeric_limits<uInt>::max());  // zlib takes 32 bits
    value = ::crc32(value, data, static_cast<uInt>(chunk));
    data += chunk;
    size -= chunk;
  }
  return static_cast<std::uint32_t>(value);
}

#if defined(__x86_64__)

// Folding constants for the bit-reflected polynomial 0xEDB88320: x^(4*128+32), x^(4*128-32) mod P (4-block
// fold), x^(128+32), x^(128-32) mod P (1-block fold), x^64 mod P, and P with its Barrett constant.
alignas(16) constexpr std::uint64_t fold_4[2] = {0x0154442bd4, 0x01c6e41596};
alignas(16) constexpr std::uint64_t fold_1[2] = {0x01751997d0, 0x00ccaa009e};
alignas(16) constexpr std::uint64_t fold_64[2] = {0x0163cd6124, 0x0000000000};
alignas(16) constexpr std::uint64_t barrett[2] = {0x01db710641, 0x01f7011641};

#define API32_RAR_CLMUL __attribute__((target("pclmul,sse4.1")))

API32_RAR_CLMUL inline __m128i load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x folded forward by the distance k stands for, and `next` added.
API32_RAR_CLMUL inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// The CRC register (not inverted) over `size` bytes, `size` a multiple of 16 and at least 64.
API32_RAR_CLMUL std::uint32_t folded_crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = load(data + 16), x3 = load(data + 32), x4 = load(data + 48);
  data += 64;
  size -= 64;
  __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(fold_4));
  for (; size >= 64; data += 64, size -= 64) {
    x1 = fold(x1, k, load(data));
    x2 = fold(x2, k, load(data + 16));
    x3 = fold(x3, k, load(data + 32));
    x4 = fold(x4, k, load(data + 48));
  }
  k = _mm_load_si128(reinterpret_cast<const __m128i*>(fold_1));
  x1 = fold(fold(fold(x1, k, x2), k, x3), k, x4);
  for (; size >= 16; data += 16, size -= 16) x1 = fold(x1, k, load(data));

  // 128 bits to 64, then Barrett reduction to 32
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k, 0x10));
  k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(fold_64));
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00), _mm_srli_si128(x1, 4));
  k = _mm_load_si128(reinterpret_cast<const __m128i*>(barrett));
  __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x10), low32);
  x1 = _mm_xor_si128(x1, _mm_clmulepi64_si128(t, k, 0x00));
  return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool has_carryless_multiply() {
  static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return available;
}

#endif

}  // namespace

std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
#if defined(__x86_64__)
  if (size >= 64 && has_carryless_multiply()) {
    const std::size_t bulk = size & ~std::size_t{15};
    crc = ~folded_crc(~crc, data, bulk);
    data += bulk;
    size -= bulk;
  }
#endif
  return zlib_crc32(crc, data, size);
}

}  // namespace rartool
