// ziplib_compress_limits.cpp - buffer-compression capacity and the growing inflate.
#include "api32/zip/ziplib_compress_limits.hpp"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

namespace api32::ziplib {

std::optional<std::uint32_t> compress_capacity(std::uint64_t source_length) {
  constexpr std::uint64_t ulong_max = std::numeric_limits<std::uint32_t>::max();
  if (source_length > ulong_max) return std::nullopt;
  decimal capacity = decimal(static_cast<std::int64_t>(source_length)) * *decimal::parse("1.01") + decimal(12);
  auto whole = capacity.truncate();
  if (!whole) return std::nullopt;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(*whole), ulong_max));
}

namespace {

class inflater {
public:
  inflater() { ok_ = inflateInit(&stream_) == Z_OK; }
  ~inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  inflater(const inflater&) = delete;
  inflater& operator=(const inflater&) = delete;
  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

private:
  z_stream stream_{};
  bool ok_ = false;
};

constexpr std::size_t first_step = std::size_t{1} << 20;
constexpr std::size_t max_inflate_ratio = 1032;
constexpr std::size_t max_inflate_ratio_input = std::numeric_limits<std::size_t>::max() / max_inflate_ratio;
constexpr std::size_t max_chunk = std::numeric_limits<uInt>::max();

// Hands zlib the next piece of input when it has used up the last one (uInt counts at most 4 GiB at once).
void feed(z_stream& s, const std::uint8_t*& next, std::size_t& left) {
  if (s.avail_in != 0 || left == 0) return;
  std::size_t piece = std::min(left, max_chunk);
  s.next_in = next;
  s.avail_in = static_cast<uInt>(piece);
  next += piece;
  left -= piece;
}

// The output is full: one more byte tells whether the stream ends here (success) or carries more data.
int probe_past_limit(z_stream& s, const std::uint8_t*& next, std::size_t& left) {
  std::uint8_t extra = 0;
  for (;;) {
    feed(s, next, left);
    s.next_out = &extra;
    s.avail_out = 1;
    int rc = inflate(&s, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) return s.avail_out == 0 ? Z_BUF_ERROR : Z_OK;
    if (s.avail_out == 0) return Z_BUF_ERROR;    // a byte beyond the limit
    if (rc == Z_OK) continue;                    // consumed input (headers, checksum) without output
    if (rc == Z_BUF_ERROR) return Z_DATA_ERROR;  // input ended before the stream did
    return rc == Z_MEM_ERROR ? Z_MEM_ERROR : Z_DATA_ERROR;
  }
}

}  // namespace

int inflate_growing(const std::uint8_t* source, std::size_t source_length, std::size_t limit, blob& out) {
  out.clear();
  inflater z;
  if (!z.ok()) return Z_MEM_ERROR;
  z_stream& s = z.stream();
  static const std::uint8_t empty = 0;
  const std::uint8_t* next = source ? source : &empty;
  std::size_t left = source ? source_length : 0;
  // Reserving address space touches no memory; only the pages the data fills are ever faulted in. Where the
  // reservation is refused the buffer grows by reallocation instead. Deflate codes at most 258 bytes in two
  // bits, so no stream inflates to more than 1032 times its length: a larger limit reserves only that much.
  const std::size_t most_produced = left > max_inflate_ratio_input ? limit : left * max_inflate_ratio;
  try {
    out.reserve(std::min(limit, most_produced));
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  std::size_t produced = 0;
  try {
    for (;;) {
      if (produced == limit) {
        out.resize(produced);
        return probe_past_limit(s, next, left);
      }
      if (produced == out.size()) {
        std::size_t step = std::max(first_step, produced);
        out.resize(produced + std::min(step, limit - produced));
      }
      feed(s, next, left);
      std::size_t room = std::min(out.size() - produced, max_chunk);
      s.next_out = out.data() + produced;
      s.avail_out = static_cast<uInt>(room);
      int rc = inflate(&s, Z_NO_FLUSH);
      produced += room - s.avail_out;
      if (rc == Z_STREAM_END) {
        out.resize(produced);
        return Z_OK;
      }
      if (rc == Z_OK) continue;
      if (rc == Z_BUF_ERROR && s.avail_out == 0) continue;  // needs more room
      out.resize(produced);
      if (rc == Z_MEM_ERROR) return Z_MEM_ERROR;
      return Z_DATA_ERROR;  // damaged (Z_DATA_ERROR), needs a dictionary, or input ended early (Z_BUF_ERROR)
    }
  } catch (const std::bad_alloc&) {
    out.resize(std::min(produced, out.size()));
    return Z_MEM_ERROR;
  }
}

}  // namespace api32::ziplib
