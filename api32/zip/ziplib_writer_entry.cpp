// ziplib_writer_entry.cpp - of_zipopennewfileinzip: a new entry named, dated and flagged after a file on disk.
#include <string>

#include "api32/runtime/text.hpp"
#include "api32/win32/kernel_object.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_writer_names.hpp"

namespace api32 {

std::int16_t uo_nv_ziplib::of_zipopennewfileinzip(std::uint32_t aul_zipfile, const std::string& as_filename,
                                                  const std::string& as_folder) {
  std::uint64_t found_size = 0;
  return open_entry_for_file(aul_zipfile, as_filename, as_folder, found_size);
}

std::int16_t uo_nv_ziplib::open_entry_for_file(std::uint32_t aul_zipfile, const std::string& as_filename,
                                               const std::string& as_folder, std::uint64_t& found_size) {
  found_size = 0;
  std::optional<std::string> ls_comment;        // no entry comment
  std::optional<std::uint32_t> lul_extrafield;  // no extra fields

  // The name first: one that would climb out of the folder it is extracted to is refused before anything
  // is written.
  auto ls_name = ziplib::entry_name(as_filename, as_folder);
  if (!ls_name) return -1;

  std::string ls_filename = as_filename;
  os_finddata lstr_finddata;
  std::uint32_t lul_search = findfirstfilea(ls_filename, lstr_finddata);
  if (lul_search == win32::INVALID_HANDLE_VALUE || lul_search == 0) return -1;
  findclose(lul_search);
  found_size = (static_cast<std::uint64_t>(lstr_finddata.ul_filesizehigh) << 32) | lstr_finddata.ul_filesizelow;

  zip_fileinfo lstr_zipfileinfo;
  lstr_zipfileinfo.internal_fa = static_cast<std::uint32_t>(of_internal_fa(text::right(as_filename, 3)));
  lstr_zipfileinfo.external_fa = lstr_finddata.ul_fileattributes;

  os_filedatetime lstr_localtime;
  os_systemtime lstr_systemtime;
  filetimetolocalfiletime(lstr_finddata.str_lastwritetime, lstr_localtime);
  filetimetosystemtime(lstr_localtime, lstr_systemtime);
  lstr_zipfileinfo.tmz_date.tm_mon = static_cast<std::uint16_t>(lstr_systemtime.ui_wmonth - 1);
  lstr_zipfileinfo.tmz_date.tm_mday = lstr_systemtime.ui_wday;
  lstr_zipfileinfo.tmz_date.tm_year = lstr_systemtime.ui_wyear;
  lstr_zipfileinfo.tmz_date.tm_hour = lstr_systemtime.ui_whour;
  lstr_zipfileinfo.tmz_date.tm_min = lstr_systemtime.ui_wminute;
  lstr_zipfileinfo.tmz_date.tm_sec = lstr_systemtime.ui_wsecond;
  lstr_zipfileinfo.dos_date = 0;

  // Sizes from 4 GiB on need Zip64 records, which minizip writes only when asked at the start of the entry.
  std::int16_t li_zip64 = ziplib::needs_zip64(found_size) ? 1 : 0;
  return zipopennewfileinzip(aul_zipfile, *ls_name, lstr_zipfileinfo, lul_extrafield, 0, lul_extrafield, 0, ls_comment,
                             z_deflated, z_default_compression, li_zip64);
}

}  // namespace api32
