// file_timestamps.cpp - uo_nv_file: a file's creation and last-write times, setting its last-write time, and
// resetting its attributes to normal.
#include <algorithm>
#include <cstring>

#include "api32/file/uo_nv_file.hpp"

namespace api32 {

// The search record of a file, the search closed at once; false (record untouched) when there is no match.
bool uo_nv_file::find_file(const std::string& as_filename, os_finddata& astr_finddata) {
  std::string ls_filename = as_filename;
  std::int32_t ll_handle = findfirstfilea(ls_filename, astr_finddata);
  if (ll_handle <= 0) return false;
  findclose(ll_handle);
  return true;
}

std::int16_t uo_nv_file::of_getcreationdatetime(const std::string& as_filename, api32::date& ad_date,
                                                api32::time& at_time) {
  os_finddata lstr_finddata;
  if (!find_file(as_filename, lstr_finddata)) return -1;
  return of_convertfiledatetimetopb(lstr_finddata.str_creationtime, ad_date, at_time);
}

std::int16_t uo_nv_file::of_getlastwritedatetime(const std::string& as_filename, api32::date& ad_date,
                                                 api32::time& at_time) {
  os_finddata lstr_finddata;
  if (!find_file(as_filename, lstr_finddata)) return -1;
  return of_convertfiledatetimetopb(lstr_finddata.str_lastwritetime, ad_date, at_time);
}

std::int16_t uo_nv_file::of_getlastwritedatetimelocal(const std::string& as_filename, api32::date& ad_date,
                                                      api32::time& at_time) {
  os_finddata lstr_finddata;
  if (!find_file(as_filename, lstr_finddata)) return -1;
  return of_convertfiledatetimetopblocal(lstr_finddata.str_lastwritetime, ad_date, at_time);
}

// Always 1, whether or not the attributes could be changed.
std::int16_t uo_nv_file::of_setfileattribute_normal(const std::string& as_file) {
  setfileattributesa(as_file, file_attribute_normal);
  return 1;
}

// Sets the last-write time (the date and time taken as UTC), keeping the creation and last-access times. The
// file's read-only, hidden, system and archive attributes are cleared on the way and stay cleared.
std::int16_t uo_nv_file::of_setlastwritedatetime(const std::string& as_filename, api32::date ad_date,
                                                 api32::time at_time) {
  std::string ls_filename = as_filename;
  os_finddata lstr_finddata;
  std::int32_t ll_handle = findfirstfilea(ls_filename, lstr_finddata);
  if (ll_handle <= 0) return -1;
  findclose(ll_handle);

  os_filedatetime lstr_lastwritetime;
  if (of_convertpbdatetimetofile(ad_date, at_time, lstr_lastwritetime) < 0) return -1;

  os_fileopeninfo lstr_fileopeninfo;
  lstr_fileopeninfo.c_fixed_disk = static_cast<char>(0);
  std::size_t ll_length = std::min(as_filename.size(), sizeof lstr_fileopeninfo.c_pathname);
  std::memcpy(lstr_fileopeninfo.c_pathname, as_filename.data(), ll_length);
  lstr_fileopeninfo.c_length = static_cast<char>(142);

  setfileattributesa(as_filename, file_attribute_normal);

  std::int32_t ll_file = openfile(ls_filename, lstr_fileopeninfo, 2);
  if (ll_file < 1) return -1;
  os_filedatetime lstr_creationtime;  // empty: the creation time stays
  bool lb_set = setfiletime(ll_file, lstr_creationtime, lstr_finddata.str_lastaccesstime, lstr_lastwritetime);
  closehandle(ll_file);
  return lb_set ? 1 : -1;
}

}  // namespace api32
