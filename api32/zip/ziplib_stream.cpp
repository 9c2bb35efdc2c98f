// ziplib_stream.cpp - an entry's data handed to the caller block by block, for hosts that cannot hold an
// entry in memory (the api32 command's cat).
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {

bool uo_nv_ziplib::stream_entry(std::uint32_t aul_unzfile, const std::string& as_filename,
                                const std::function<bool(const std::uint8_t*, std::size_t)>& sink) {
  if (unzlocatefile(aul_unzfile, as_filename, 2) < 0) return false;
  if (unzopencurrentfile(aul_unzfile) != unz_ok) return false;
  constexpr std::uint32_t block_size = 8192;
  blob block(block_size);
  bool delivered = true;
  std::int16_t rc = unzreadcurrentfile(aul_unzfile, block, block_size);
  while (rc >= 1) {
    if (!sink(block.data(), static_cast<std::size_t>(rc))) {
      delivered = false;
      break;
    }
    rc = unzreadcurrentfile(aul_unzfile, block, block_size);
  }
  // a read error, data that ended before the declared size, or a CRC mismatch (reported at close)
  bool complete = delivered && rc == 0 && unzeof(aul_unzfile) == 1;
  if (unzclosecurrentfile(aul_unzfile) != unz_ok) complete = false;
  return complete;
}

}  // namespace api32
