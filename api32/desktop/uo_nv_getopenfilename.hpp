// uo_nv_getopenfilename.hpp - the open-file dialog with several files selectable at once; the choice comes
// back as full path names and bare file names.
//
// The class builds the dialog's argument block itself: text blocks from LocalAlloc, filled and read with
// RtlMoveMemory, freed before of_getopenfilename returns. Texts cross these calls as ANSI bytes, and ANSI is
// UTF-8 here, so one element of a character array is one byte of UTF-8 text: non-ASCII titles, filters and
// file names go through unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "api32/win32/openfilename.hpp"

namespace api32 {

class uo_nv_getopenfilename {
public:
  static constexpr std::uint32_t max_length = 32767;
  static constexpr std::uint32_t ofn_readonly = 0x1;
  static constexpr std::uint32_t ofn_overwriteprompt = 0x2;
  static constexpr std::uint32_t ofn_hidereadonly = 0x4;
  static constexpr std::uint32_t ofn_nochangedir = 0x8;
  static constexpr std::uint32_t ofn_showhelp = 0x10;
  static constexpr std::uint32_t ofn_enablehook = 0x20;
  static constexpr std::uint32_t ofn_enabletemplate = 0x40;
  static constexpr std::uint32_t ofn_enabletemplatehandle = 0x80;
  static constexpr std::uint32_t ofn_novalidate = 0x100;
  static constexpr std::uint32_t ofn_allowmultiselect = 0x200;
  static constexpr std::uint32_t ofn_extensiondifferent = 0x400;
  static constexpr std::uint32_t ofn_pathmustexist = 0x800;
  static constexpr std::uint32_t ofn_filemustexist = 0x1000;
  static constexpr std::uint32_t ofn_createprompt = 0x2000;
  static constexpr std::uint32_t ofn_shareaware = 0x4000;
  static constexpr std::uint32_t ofn_noreadonlyreturn = 0x8000;
  static constexpr std::uint32_t ofn_notestfilecreate = 0x10000;
  static constexpr std::uint32_t ofn_nonetworkbutton = 0x20000;
  static constexpr std::uint32_t ofn_nolongnames = 0x40000;
  static constexpr std::uint32_t ofn_explorer = 0x80000;
  static constexpr std::uint32_t ofn_nodereferencelinks = 0x100000;
  static constexpr std::uint32_t ofn_longnames = 0x200000;

  /// The dialog's argument block, kept from call to call.
  openfilename iofn;

  /// Fills iofn: size 76, filter index 1, nmaxfile max_length, flags explorer + file must exist + multiselect.
  uo_nv_getopenfilename();
  ~uo_nv_getopenfilename() = default;

  /// Appends the bytes of `as_string` to `ac_char`, ended by two NULs; the first byte overwrites the array's
  /// last element when it has one (an earlier call's second NUL). Returns the array's upper bound.
  std::int32_t of_char_string(const std::string& as_string, std::vector<char>& ac_char);
  /// Splits a comma-separated list into `as_array` (emptied first); blanks inside elements are kept. A list
  /// that begins with a comma yields nothing.
  void of_parse_csv(const std::string& as_list, std::vector<std::string>& as_array);
  /// Splits NUL-separated texts ending with two NULs into `as_string` (emptied first); a position past the
  /// array's end counts as NUL. Returns the upper bound of `as_string`.
  std::int32_t of_string_char(std::vector<char> ac_char, std::vector<std::string>& as_string);
  /// Character position of the last occurrence of `as_findstr` in `as_string`, 0 if none.
  std::int32_t lastpos(const std::string& as_string, const std::string& as_findstr);
  /// Shows the dialog, modal to `al_hwnd`: 1 chosen (the arrays hold the full path names and the bare names,
  /// in the dialog's order), 0 cancelled, -1 dialog error (shown in a "Common Dialog Error" box). Both arrays
  /// are emptied first. `as_filter` lists descriptions and patterns, comma-separated.
  std::int16_t of_getopenfilename(std::int32_t al_hwnd, const std::string& as_title,
                                  std::vector<std::string>& as_pathname, std::vector<std::string>& as_filename,
                                  const std::string& as_filter);

private:
  // ---- external functions (comdlg32.dll, kernel32.dll): our binding to win32/
  bool getopenfilenamea(openfilename& lpofn);
  std::uint32_t commdlgextendederror();
  std::int32_t rtlmovememory(std::vector<char>& dest, std::int32_t source, std::int32_t size);
  std::int32_t rtlmovememory(std::int32_t dest, std::vector<char>& source, std::int32_t size);
  std::int32_t localalloc(std::int32_t uflags, std::int32_t ubytes);
  std::int32_t localfree(std::int32_t hmem);
};

}  // namespace api32
