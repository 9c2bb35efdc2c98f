// ziplib_compress.cpp - of_compress and of_uncompress: zlib streams in memory, failures in a message box.
//
// of_uncompress never trusts aul_destlen for memory: the data is inflated into a buffer that grows as it
// arrives, padded with the filler to aul_destlen only once it is complete, and a length above
// ziplib::uncompress_limit (1 GiB) is answered as "Not enough memory!" without allocating anything.
#include <new>
#include <string>

#include "api32/runtime/message_box.hpp"
#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_compress_limits.hpp"

namespace api32 {
namespace {

constexpr std::uint8_t filler = ' ';
constexpr const char* compress_title = "Ziplib Error in of_compress";
constexpr const char* uncompress_title = "Ziplib Error in of_uncompress";

std::string compress_failure_text(std::int16_t code) {
  switch (code) {
    case uo_nv_ziplib::z_mem_error:
      return "Not enough memory!";
    case uo_nv_ziplib::z_buf_error:
      return "Not enough room in the output buffer!";
    default:
      return "Undefined error: " + std::to_string(code);
  }
}

std::string uncompress_failure_text(std::int16_t code) {
  if (code == uo_nv_ziplib::z_data_error) return "The input data was corrupted!";
  return compress_failure_text(code);
}

blob bytes_of(const std::string& s) { return blob(s.begin(), s.end()); }

}  // namespace

bool uo_nv_ziplib::of_compress(const blob& ablob_source, std::optional<blob>& ablob_dest) {
  std::int16_t rc = z_mem_error;
  try {
    auto capacity = ziplib::compress_capacity(ablob_source.size());
    if (capacity) {
      blob scratch(*capacity, filler);
      std::uint32_t destlen = *capacity;
      rc = compress(scratch, destlen, ablob_source, static_cast<std::uint32_t>(ablob_source.size()));
      if (rc == z_ok) {
        ablob_dest = blob(scratch.begin(), scratch.begin() + destlen);
        return true;
      }
    }
  } catch (const std::bad_alloc&) {
    rc = z_mem_error;
  }
  ablob_dest.reset();
  messagebox(compress_title, compress_failure_text(rc), msg_icon::stop);
  return false;
}

bool uo_nv_ziplib::of_compress(const std::string& as_source, std::optional<blob>& ablob_dest) {
  blob source;
  try {
    // One byte per character, so the character count is the byte count and the whole text takes part.
    source = bytes_of(text::to_cp1252(as_source));
  } catch (const std::bad_alloc&) {
    ablob_dest.reset();
    messagebox(compress_title, compress_failure_text(z_mem_error), msg_icon::stop);
    return false;
  }
  return of_compress(source, ablob_dest);
}

namespace {

// The common part of both of_uncompress overloads: the data padded to aul_destlen, or the failure code.
template <class Uncompress>
std::int16_t uncompress_padded(Uncompress&& call, std::uint32_t aul_destlen, blob& scratch) {
  if (aul_destlen > ziplib::uncompress_limit) return uo_nv_ziplib::z_mem_error;
  try {
    std::uint32_t destlen = aul_destlen;
    std::int16_t rc = call(scratch, destlen);
    if (rc == uo_nv_ziplib::z_ok) scratch.resize(aul_destlen, filler);
    return rc;
  } catch (const std::bad_alloc&) {
    return uo_nv_ziplib::z_mem_error;
  }
}

std::uint32_t source_length(const blob& src) {
  // zlib stops at the end of the stream, so a source longer than a ulong can count loses nothing it reads.
  return src.size() > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(src.size());
}

}  // namespace

bool uo_nv_ziplib::of_uncompress(const blob& ablob_src, std::uint32_t aul_destlen, std::optional<blob>& ablob_dest) {
  blob scratch;
  std::int16_t rc = uncompress_padded(
      [&](blob& dest, std::uint32_t& destlen) {
        return uncompress(dest, destlen, ablob_src, source_length(ablob_src));
      },
      aul_destlen, scratch);
  if (rc == z_ok) {
    ablob_dest = std::move(scratch);
    return true;
  }
  scratch = blob();
  ablob_dest.reset();
  messagebox(uncompress_title, uncompress_failure_text(rc), msg_icon::stop);
  return false;
}

bool uo_nv_ziplib::of_uncompress(const blob& ablob_src, std::uint32_t aul_destlen,
                                 std::optional<std::string>& as_dest) {
  blob scratch;
  std::int16_t rc = uncompress_padded(
      [&](blob& dest, std::uint32_t& destlen) {
        return uncompress(dest, destlen, ablob_src, source_length(ablob_src));
      },
      aul_destlen, scratch);
  if (rc == z_ok) {
    try {
      // The whole buffer, filler included: the text is as long as aul_destlen in characters.
      as_dest = text::from_cp1252(std::string_view(reinterpret_cast<const char*>(scratch.data()), scratch.size()));
      return true;
    } catch (const std::bad_alloc&) {
      rc = z_mem_error;
    }
  }
  scratch = blob();
  as_dest.reset();
  messagebox(uncompress_title, uncompress_failure_text(rc), msg_icon::stop);
  return false;
}

}  // namespace api32
