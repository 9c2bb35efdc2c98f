// openfilename.hpp - the argument block of the open-file dialog (Win32 OPENFILENAMEA), laid out field for
// field as the 32-bit structure: 76 bytes, no padding. Fields named lp... hold 32-bit addresses of
// LocalAlloc blocks; hwndowner is a window handle.
#pragma once

#include <cstddef>
#include <cstdint>

namespace api32 {

struct openfilename {
  std::uint32_t lstructsize = 0;
  std::uint32_t hwndowner = 0;
  std::uint32_t hinstance = 0;
  std::uint32_t lpstrfilter = 0;
  std::uint32_t lpstrcustomfilter = 0;
  std::uint32_t nmaxcustfilter = 0;
  std::uint32_t nfilterindex = 0;
  std::uint32_t lpstrfile = 0;
  std::uint32_t nmaxfile = 0;
  std::uint32_t lpstrfiletitle = 0;
  std::uint32_t nmaxfiletitle = 0;
  std::uint32_t lpstrinitialdir = 0;
  std::uint32_t lpstrtitle = 0;
  std::uint32_t flags = 0;
  std::int16_t nfileoffset = 0;
  std::int16_t nfileextension = 0;
  std::uint32_t lpstrdefext = 0;
  std::uint32_t lcustdata = 0;
  std::uint32_t lpfnhook = 0;
  std::uint32_t lptemplatename = 0;
};

static_assert(sizeof(openfilename) == 76, "openfilename is the 76-byte 32-bit OPENFILENAMEA");
static_assert(offsetof(openfilename, flags) == 52 && offsetof(openfilename, nfileoffset) == 56 &&
                  offsetof(openfilename, nfileextension) == 58 && offsetof(openfilename, lpstrdefext) == 60,
              "openfilename's fields are packed in the Win32 order");

}  // namespace api32
