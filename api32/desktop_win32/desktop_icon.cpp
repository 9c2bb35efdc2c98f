// desktop_icon.cpp - LoadImageA and DestroyIcon over GdkPixbuf.
#include "api32/desktop_win32/desktop_icon.hpp"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <utility>

#include "api32/win32/paths.hpp"

namespace api32::win32 {
namespace {

struct pixbuf_ref {
  GdkPixbuf* pixbuf = nullptr;
  ~pixbuf_ref() {
    if (pixbuf) g_object_unref(pixbuf);
  }
};

struct error_ref {
  GError* error = nullptr;
  ~error_ref() {
    if (error) g_error_free(error);
  }
};

// GdkPixbuf's RGB(A) rows to the ARGB32 (network byte order) rows of the tray protocol.
std::shared_ptr<icon_image> to_argb(GdkPixbuf* pixbuf) {
  if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8)
    return nullptr;
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  if (channels != (alpha ? 4 : 3)) return nullptr;
  auto image = std::make_shared<icon_image>();
  image->width = gdk_pixbuf_get_width(pixbuf);
  image->height = gdk_pixbuf_get_height(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
  image->argb.resize(static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 4);
  std::uint8_t* out = image->argb.data();
  for (int y = 0; y < image->height; ++y) {
    const guint8* in = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < image->width; ++x, in += channels) {
      *out++ = alpha ? in[3] : 0xFF;
      *out++ = in[0];
      *out++ = in[1];
      *out++ = in[2];
    }
  }
  return image;
}

// The size to decode at: the request (capped), or the image's own size brought down to max_icon_side with
// its proportions kept.
void target_size(int own_width, int own_height, int cx, int cy, int& width, int& height) {
  if (cx > 0 || cy > 0) {
    width = std::min(cx > 0 ? cx : own_width, max_icon_side);
    height = std::min(cy > 0 ? cy : own_height, max_icon_side);
    return;
  }
  width = own_width;
  height = own_height;
  if (width > max_icon_side || height > max_icon_side) {
    const double scale = static_cast<double>(max_icon_side) / std::max(width, height);
    width = std::max(1, static_cast<int>(width * scale + 0.5));
    height = std::max(1, static_cast<int>(height * scale + 0.5));
  }
}

}  // namespace

HICON LoadImageA(std::uint32_t /*hinst*/, std::string_view name, std::uint32_t type, std::int32_t cx, std::int32_t cy,
                 std::uint32_t fuload) {
  if ((fuload & LR_LOADFROMFILE) == 0) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  if (type != IMAGE_ICON) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  if (cx < 0 || cy < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto path = to_native_path(name);
  if (!path) return 0;  // the mapping set the error
  // Only regular files: a FIFO or a device would block or never end.
  struct stat st;
  if (::stat(path->c_str(), &st) != 0) {
    set_last_error_from_errno();
    return 0;
  }
  if (!S_ISREG(st.st_mode)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  int own_width = 0;
  int own_height = 0;
  if (!gdk_pixbuf_get_file_info(path->c_str(), &own_width, &own_height) || own_width <= 0 || own_height <= 0 ||
      own_width > max_image_side || own_height > max_image_side) {
    SetLastError(ERROR_BAD_FORMAT);
    return 0;
  }
  int width = 0;
  int height = 0;
  target_size(own_width, own_height, cx, cy, width, height);
  error_ref error;
  pixbuf_ref loaded;
  loaded.pixbuf = gdk_pixbuf_new_from_file_at_scale(path->c_str(), width, height, FALSE, &error.error);
  if (!loaded.pixbuf) {
    SetLastError(ERROR_BAD_FORMAT);
    return 0;
  }
  pixbuf_ref scaled;
  GdkPixbuf* pixbuf = loaded.pixbuf;
  // Some loaders (.ico) ignore the requested size: scale what they gave.
  if (gdk_pixbuf_get_width(pixbuf) != width || gdk_pixbuf_get_height(pixbuf) != height) {
    scaled.pixbuf = gdk_pixbuf_scale_simple(pixbuf, width, height, GDK_INTERP_BILINEAR);
    if (!scaled.pixbuf) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    pixbuf = scaled.pixbuf;
  }
  auto image = to_argb(pixbuf);
  if (!image) {
    SetLastError(ERROR_BAD_FORMAT);
    return 0;
  }
  HICON icon = handles().add<icon_image>(handle_kind::icon, std::move(image));
  if (icon == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return icon;
}

BOOL DestroyIcon(HICON icon) {
  if (!handles().take<icon_image>(icon, handle_kind::icon)) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE_;
  }
  return TRUE_;
}

std::shared_ptr<const icon_image> icon_pixels(HICON icon) { return handles().get<icon_image>(icon, handle_kind::icon); }

}  // namespace api32::win32
