// ziplib_reader.cpp - the reader primitives: open and close an archive, its global information and comment,
// stepping through entries, locating one by name, and reading the current entry.
#include <algorithm>

#include "api32/runtime/message_box.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {
namespace {

constexpr std::uint32_t block_size = 8192;
// What the blob may reserve before the data shows it needs more: a declared size is not trusted further.
constexpr std::size_t initial_reserve_limit = 1 << 20;

}  // namespace

std::uint32_t uo_nv_ziplib::of_unzopen(const std::string& as_filename) {
  std::uint32_t handle = unzopen(as_filename);
  if (handle == 0) {
    messagebox("Ziplib Error in of_unzopen", "The zip file is invalid or can't be found!", msg_icon::stop);
  }
  return handle;
}

std::int16_t uo_nv_ziplib::of_unzclose(std::uint32_t aul_unzfile) { return unzclose(aul_unzfile); }

std::string uo_nv_ziplib::of_unzgetglobalcomment(std::uint32_t aul_unzfile) {
  const std::uint32_t size = 500;
  std::string comment(size, ' ');
  unzgetglobalcomment(aul_unzfile, comment, size);  // on failure the spaces come back
  return comment;
}

std::int16_t uo_nv_ziplib::of_unzgotofirstfile(std::uint32_t aul_unzfile) { return unzgotofirstfile(aul_unzfile); }

std::int16_t uo_nv_ziplib::of_unzgotonextfile(std::uint32_t aul_unzfile) { return unzgotonextfile(aul_unzfile); }

std::int16_t uo_nv_ziplib::of_unzgetglobalinfo(std::uint32_t aul_unzfile, std::uint32_t& aul_entries,
                                               std::uint32_t& aul_cmtsize) {
  unz_global_info info;
  std::int16_t rc = unzgetglobalinfo(aul_unzfile, info);
  aul_entries = info.number_entry;  // zeros from the fresh record when the call failed
  aul_cmtsize = info.size_comment;
  return rc;
}

std::int16_t uo_nv_ziplib::of_unzlocatefile(std::uint32_t aul_unzfile, const std::string& as_filename) {
  return unzlocatefile(aul_unzfile, as_filename, 2);
}

std::int16_t uo_nv_ziplib::of_unzopencurrentfile(std::uint32_t aul_unzfile) { return unzopencurrentfile(aul_unzfile); }

std::int16_t uo_nv_ziplib::of_unzclosecurrentfile(std::uint32_t aul_unzfile) {
  return unzclosecurrentfile(aul_unzfile);
}

std::int16_t uo_nv_ziplib::of_unzreadcurrentfile(std::uint32_t aul_unzfile, blob& ablob_data,
                                                 std::uint32_t aul_destlen) {
  blob block(block_size);
  ablob_data.clear();
  ablob_data.reserve(std::min<std::size_t>(aul_destlen, initial_reserve_limit));
  std::int16_t rc = unzreadcurrentfile(aul_unzfile, block, block_size);
  while (rc >= 1) {
    std::size_t room = aul_destlen - ablob_data.size();
    if (static_cast<std::size_t>(rc) > room) {
      // more data than the caller made room for: keep what fits and say so
      ablob_data.insert(ablob_data.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(room));
      return z_buf_error;
    }
    ablob_data.insert(ablob_data.end(), block.begin(), block.begin() + rc);
    rc = unzreadcurrentfile(aul_unzfile, block, block_size);
  }
  if (rc < 0) return rc;
  if (unzeof(aul_unzfile) != 1) return unz_badzipfile;  // the data ended before the entry's declared size
  ablob_data.resize(aul_destlen, ' ');
  return rc;
}

}  // namespace api32
