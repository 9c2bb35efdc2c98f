// ziplib_writer.cpp - creating and closing archives, and the by-hand entry calls: of_zipopen, of_zipclose,
// of_zipwriteinfileinzip, of_zipclosefileinzip.
#include <string>

#include "api32/runtime/message_box.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {

std::int16_t uo_nv_ziplib::of_zipclosefileinzip(std::uint32_t aul_zipfile) { return zipclosefileinzip(aul_zipfile); }

std::int16_t uo_nv_ziplib::of_zipwriteinfileinzip(std::uint32_t aul_zipfile, blob& ablob_data) {
  // a blob beyond the long range cannot be described to minizip in one call
  if (ablob_data.size() > 0x7FFFFFFFu) return zip_paramerror;
  return zipwriteinfileinzip(aul_zipfile, ablob_data, static_cast<std::int32_t>(ablob_data.size()));
}

std::int16_t uo_nv_ziplib::of_zipclose(std::uint32_t aul_zipfile, const std::string& as_comment) {
  std::string ls_comment = as_comment;
  return zipclose(aul_zipfile, ls_comment);
}

std::uint32_t uo_nv_ziplib::of_zipopen(const std::string& as_filename) {
  std::string ls_filename = as_filename;
  std::uint32_t lul_zipfile = zipopen(ls_filename, 0);  // create: a file of that name is replaced
  if (lul_zipfile == 0) messagebox("Ziplib Error in of_zipopen", "The zip file could not be opened!", msg_icon::stop);
  return lul_zipfile;
}

}  // namespace api32
