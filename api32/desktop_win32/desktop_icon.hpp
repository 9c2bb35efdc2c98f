// desktop_icon.hpp - LoadImageA and DestroyIcon of the Win32 stand-in: icons read with GdkPixbuf and kept in
// the handle table as ready-made pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "api32/win32/kernel_object.hpp"

namespace api32::win32 {

using HICON = HANDLE;

inline constexpr std::uint32_t IMAGE_BITMAP = 0;
inline constexpr std::uint32_t IMAGE_ICON = 1;
inline constexpr std::uint32_t IMAGE_CURSOR = 2;
inline constexpr std::uint32_t LR_LOADFROMFILE = 0x10;

inline constexpr DWORD ERROR_INVALID_CURSOR_HANDLE = 1402;
inline constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

/// The largest icon kept, per side: bigger images are scaled down (the largest Windows icon is 256 x 256).
inline constexpr int max_icon_side = 256;
/// Images that claim more than this per side are refused before they are decoded.
inline constexpr int max_image_side = 4096;

/// The pixels of an icon as the StatusNotifierItem protocol wants them: rows of ARGB32 pixels, each pixel the
/// bytes A, R, G, B (network byte order), not premultiplied.
struct icon_image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> argb;
};

/// Windows: loads an icon, cursor or bitmap from a module's resources or, with LR_LOADFROMFILE, from a file.
/// Here: IMAGE_ICON from a file (a Windows or native path) in any format GdkPixbuf reads (.ico, .png, ...).
/// `cx`/`cy` 0 keep the image's own size; other values scale it to cx x cy (each capped at max_icon_side).
/// Returns an icon handle, or 0 with the last error set: ERROR_FILE_NOT_FOUND (missing, or not a regular
/// file), ERROR_BAD_FORMAT (not an image, or one larger than max_image_side), ERROR_RESOURCE_NAME_NOT_FOUND
/// (no LR_LOADFROMFILE: there are no module resources here), ERROR_NOT_SUPPORTED (another image type).
HICON LoadImageA(std::uint32_t hinst, std::string_view name, std::uint32_t type, std::int32_t cx, std::int32_t cy,
                 std::uint32_t fuload);

/// Releases an icon: TRUE, or FALSE with ERROR_INVALID_CURSOR_HANDLE for a value that is no live icon.
BOOL DestroyIcon(HICON icon);

/// The pixels of a live icon, or null. Whoever keeps them keeps a copy that outlives DestroyIcon, as the
/// shell keeps its own copy of an icon it shows.
std::shared_ptr<const icon_image> icon_pixels(HICON icon);

}  // namespace api32::win32
