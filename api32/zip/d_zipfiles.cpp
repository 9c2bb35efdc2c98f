// d_zipfiles.cpp - the table layout of the archive listing: file name, folder and full name.
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {

const table_layout& d_zipfiles() {
  static const table_layout layout{"d_zipfiles",
                                   {{"filename", "Filename"}, {"filepath", "Filepath"}, {"fullname", "Fullname"}}};
  return layout;
}

}  // namespace api32
