// uo_nv_devil.cpp - binding DevIL at run time, and the constructor that initialises it.
#include "api32/image/uo_nv_devil.hpp"

namespace api32 {
namespace {

template <class Fn>
Fn entry_point(const win32::unique_module& library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<Fn>(win32::GetProcAddress(library.get(), name));
}

}  // namespace

uo_nv_devil::uo_nv_devil() {
  bind_libraries();
  // An entry point out of reach ends the sequence at that call (its last error set), devil_ready still false.
  auto reachable = [](auto entry, const win32::unique_module& library) {
    if (entry == nullptr) entry_point_missing(library);
    return entry != nullptr;
  };
  if (!reachable(il_init_, core_module_)) return;
  ilinit();
  if (!reachable(il_get_error_, core_module_) || ilgeterror() != 0) return;
  if (!reachable(ilu_init_, utility_module_)) return;
  iluinit();
  if (ilgeterror() == 0) devil_ready = true;
}

// DevIL is deliberately not shut down: other objects (and the host's images) share its process-wide state.
uo_nv_devil::~uo_nv_devil() = default;

void uo_nv_devil::bind_libraries() {
  core_module_ = win32::unique_module(win32::LoadLibraryA(devil_core_library));
  utility_module_ = win32::unique_module(win32::LoadLibraryA(devil_utility_library));
  il_init_ = entry_point<il_void_fn>(core_module_, "ilInit");
  il_bind_image_ = entry_point<il_bind_fn>(core_module_, "ilBindImage");
  il_load_image_ = entry_point<il_load_image_fn>(core_module_, "ilLoadImage");
  il_load_ = entry_point<il_load_fn>(core_module_, "ilLoad");
  il_save_image_ = entry_point<il_load_image_fn>(core_module_, "ilSaveImage");
  il_delete_images_ = entry_point<il_delete_images_fn>(core_module_, "ilDeleteImages");
  il_get_error_ = entry_point<il_get_error_fn>(core_module_, "ilGetError");
  ilu_init_ = entry_point<il_void_fn>(utility_module_, "iluInit");
}

void uo_nv_devil::entry_point_missing(const win32::unique_module& library) {
  win32::SetLastError(library ? win32::ERROR_PROC_NOT_FOUND : win32::ERROR_MOD_NOT_FOUND);
}

}  // namespace api32
