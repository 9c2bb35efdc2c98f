// uo_nv_getopenfilename.cpp - the constructor and of_getopenfilename: the argument block built from
// LocalAlloc blocks, the dialog shown, the choice split into path names and file names.
#include "api32/desktop/uo_nv_getopenfilename.hpp"

#include "api32/runtime/message_box.hpp"
#include "api32/runtime/text.hpp"

namespace api32 {

uo_nv_getopenfilename::uo_nv_getopenfilename() {
  iofn.lstructsize = 76;
  iofn.nfilterindex = 1;
  iofn.nmaxfile = max_length;
  iofn.flags = ofn_explorer + ofn_filemustexist + ofn_allowmultiselect;
}

std::int16_t uo_nv_getopenfilename::of_getopenfilename(std::int32_t al_hwnd, const std::string& as_title,
                                                       std::vector<std::string>& as_pathname,
                                                       std::vector<std::string>& as_filename,
                                                       const std::string& as_filter) {
  constexpr std::int32_t lmem_zeroinit = 0x40;
  std::vector<char> lc_title, lc_filter, lc_file;
  std::vector<std::string> ls_filter, ls_files;
  std::int32_t ll_len = 0;
  std::int16_t li_rc = 0;

  as_pathname.clear();
  as_filename.clear();
  iofn.hwndowner = static_cast<std::uint32_t>(al_hwnd);

  ll_len = of_char_string(as_title, lc_title);
  iofn.lpstrtitle = static_cast<std::uint32_t>(localalloc(lmem_zeroinit, ll_len));
  rtlmovememory(static_cast<std::int32_t>(iofn.lpstrtitle), lc_title, ll_len);

  // Elements are trimmed; an empty one is dropped, since of_char_string would write its two NULs over the
  // start of the filter already built. With no element at all there is no filter block: every file shows.
  of_parse_csv(as_filter, ls_filter);
  ll_len = 0;
  for (const std::string& element : ls_filter) {
    std::string ls_element = text::trim(element);
    if (ls_element.empty()) continue;
    ll_len = of_char_string(ls_element, lc_filter);
  }
  iofn.lpstrfilter = 0;
  if (ll_len > 0) {
    iofn.lpstrfilter = static_cast<std::uint32_t>(localalloc(lmem_zeroinit, ll_len));
    rtlmovememory(static_cast<std::int32_t>(iofn.lpstrfilter), lc_filter, ll_len);
  }

  lc_file.assign(max_length, ' ');
  iofn.nmaxfile = max_length;
  iofn.lpstrfile = static_cast<std::uint32_t>(localalloc(lmem_zeroinit, static_cast<std::int32_t>(max_length)));

  if (getopenfilenamea(iofn)) {
    rtlmovememory(lc_file, static_cast<std::int32_t>(iofn.lpstrfile), static_cast<std::int32_t>(max_length));
    const std::int32_t m = of_string_char(lc_file, ls_files);
    if (m == 1) {
      // one file: the dialog gave its full path name
      as_pathname.push_back(ls_files[0]);
      as_filename.push_back(text::mid(ls_files[0], lastpos(ls_files[0], "\\") + 1));
    } else {
      // several: the folder first, then the names, in the dialog's order
      for (std::int32_t j = 2; j <= m; ++j) {
        as_pathname.push_back(ls_files[0] + "\\" + ls_files[j - 1]);
        as_filename.push_back(ls_files[j - 1]);
      }
    }
    li_rc = 1;
  } else {
    const std::uint32_t lul_error = commdlgextendederror();
    if (lul_error == 0) {
      li_rc = 0;  // the user cancelled
    } else {
      messagebox("Common Dialog Error", "Error code: " + std::to_string(lul_error));
      li_rc = -1;
    }
  }

  localfree(static_cast<std::int32_t>(iofn.lpstrtitle));
  localfree(static_cast<std::int32_t>(iofn.lpstrfilter));
  localfree(static_cast<std::int32_t>(iofn.lpstrfile));
  return li_rc;
}

}  // namespace api32
