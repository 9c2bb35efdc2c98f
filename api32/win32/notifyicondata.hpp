// notifyicondata.hpp - the argument block of Shell_NotifyIconA in its original 88-byte form
// (NOTIFYICONDATAA as the first shell versions defined it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace api32 {

struct notifyicondata {
  std::int32_t cbsize = 0;            ///< size of the block: 88
  std::int32_t hwnd = 0;              ///< window that receives the icon's messages
  std::int32_t uid = 0;               ///< number of the icon within that window
  std::int32_t uflags = 0;            ///< which of the following fields are valid (NIF_*)
  std::int32_t ucallbackmessage = 0;  ///< message sent to hwnd for mouse activity over the icon
  std::int32_t hicon = 0;             ///< icon handle
  char sztip[64] = {};                ///< tooltip, 8-bit text ended by a NUL (none when all 64 bytes are text)
};

static_assert(sizeof(notifyicondata) == 88, "notifyicondata is the 88-byte NOTIFYICONDATAA");
static_assert(offsetof(notifyicondata, hicon) == 20 && offsetof(notifyicondata, sztip) == 24,
              "notifyicondata's fields are packed in the Win32 order");

}  // namespace api32
