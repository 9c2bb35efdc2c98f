// ziplib_lastwrite.cpp - of_setlastwritedatetime: stamps a file with a ready-made last-write file time.
#include <algorithm>

#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {

std::int16_t uo_nv_ziplib::of_setlastwritedatetime(const std::string& as_filename, os_filedatetime& astr_filetime) {
  std::string filename = as_filename;
  os_finddata lstr_finddata;
  // the search handle is looked at as a signed number: INVALID_HANDLE_VALUE is -1
  auto search = static_cast<std::int32_t>(findfirstfilea(filename, lstr_finddata));
  if (search <= 0) return -1;
  findclose(static_cast<std::uint32_t>(search));

  os_fileopeninfo lstr_openinfo;
  lstr_openinfo.c_fixed_disk = 0;
  std::size_t copied = std::min<std::size_t>(as_filename.size(), sizeof lstr_openinfo.c_pathname);
  for (std::size_t i = 0; i < copied; ++i) lstr_openinfo.c_pathname[i] = as_filename[i];
  lstr_openinfo.c_length = static_cast<char>(142);

  std::int32_t file = openfile(filename, lstr_openinfo, 2);
  if (file < 1) return -1;
  os_filedatetime creation;  // empty: the creation time stays as it is
  bool set = setfiletime(file, creation, lstr_finddata.str_lastaccesstime, astr_filetime);
  closehandle(file);
  return set ? 1 : -1;
}

}  // namespace api32
