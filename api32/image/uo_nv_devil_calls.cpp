// uo_nv_devil_calls.cpp - the DevIL entry points as the host calls them, and the converter's.
#include <algorithm>
#include <string>
#include <vector>

#include "api32/image/tga_to_bmp.hpp"
#include "api32/image/uo_nv_devil.hpp"
#include "api32/win32/memory.hpp"
#include "api32/win32/paths.hpp"

namespace api32 {
namespace {

// The path bytes of a file-name blob: up to its first zero byte, or its end, never beyond.
std::string path_bytes(const blob& bfilename) {
  auto end = std::find(bfilename.begin(), bfilename.end(), std::uint8_t{0});
  return std::string(bfilename.begin(), end);
}

// The native name DevIL is given. A path that cannot be mapped becomes "", which DevIL refuses with
// IL_INVALID_PARAM, so the host's ilgeterror after the failed call still tells what happened.
std::string devil_file_name(const blob& bfilename) {
  return win32::to_native_path(path_bytes(bfilename)).value_or(std::string());
}

}  // namespace

std::uint32_t uo_nv_devil::ilinit() {
  if (!il_init_) {
    entry_point_missing(core_module_);
    return 0;
  }
  il_init_();
  return 0;
}

std::uint32_t uo_nv_devil::iluinit() {
  if (!ilu_init_) {
    entry_point_missing(utility_module_);
    return 0;
  }
  ilu_init_();
  return 0;
}

std::uint32_t uo_nv_devil::ilbindimage(std::uint32_t image) {
  if (!il_bind_image_) {
    entry_point_missing(core_module_);
    return 0;
  }
  il_bind_image_(image);
  return 0;
}

bool uo_nv_devil::illoadimage(const blob& bfilename) {
  if (!il_load_image_) {
    entry_point_missing(core_module_);
    return false;
  }
  std::string name = devil_file_name(bfilename);
  return il_load_image_(name.c_str()) != 0;
}

bool uo_nv_devil::ilload(std::uint16_t num, const blob& bfilename) {
  if (!il_load_) {
    entry_point_missing(core_module_);
    return false;
  }
  std::string name = devil_file_name(bfilename);
  return il_load_(num, name.c_str()) != 0;
}

bool uo_nv_devil::ilsaveimage(const blob& bfilename) {
  if (!il_save_image_) {
    entry_point_missing(core_module_);
    return false;
  }
  std::string name = devil_file_name(bfilename);
  return il_save_image_(name.c_str()) != 0;
}

std::uint32_t uo_nv_devil::ildeleteimages(std::uint16_t num, std::int32_t images) {
  if (!il_delete_images_) {
    entry_point_missing(core_module_);
    return 0;
  }
  if (num == 0) return 0;  // DevIL deletes nothing for a count below 1
  // The names are copied out of the block first: DevIL never reads past what the block holds.
  std::vector<unsigned int> names(num);
  if (!win32::read_local_block(static_cast<win32::HLOCAL>(images), 0, names.data(),
                               names.size() * sizeof(unsigned int))) {
    return 0;
  }
  il_delete_images_(static_cast<int>(num), names.data());
  return 0;
}

std::int16_t uo_nv_devil::ilgeterror() {
  if (!il_get_error_) {
    entry_point_missing(core_module_);
    return 0;
  }
  return static_cast<std::int16_t>(il_get_error_());
}

std::int16_t uo_nv_devil::tgatobmps(const blob& bfilename_src, const blob& bfilename_dest,
                                    const blob& bfilename_desta) {
  return static_cast<std::int16_t>(
      image::tga_to_bmps(path_bytes(bfilename_src), path_bytes(bfilename_dest), path_bytes(bfilename_desta)));
}

}  // namespace api32
