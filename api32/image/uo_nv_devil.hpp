// uo_nv_devil.hpp - the host's access to the DevIL image library (core and ILU) and to the TGA-to-BMP
// converter.
//
// The constructor initialises DevIL and records in devil_ready whether both libraries came up without an
// error; the host tests devil_ready before any image work. DevIL is loaded at run time (libIL.so.1,
// libILU.so.1): a library that cannot be loaded, or an entry point it lacks, makes that call return 0 or
// false with GetLastError ERROR_MOD_NOT_FOUND (126) or ERROR_PROC_NOT_FOUND (127), and never crashes.
//
// File names arrive as blobs of 8-bit path bytes. The bytes up to the first zero byte (or the blob's end)
// form a Windows or native path, which is mapped to a native path before the library sees it; a path that
// cannot be mapped reaches DevIL as an empty name, which DevIL refuses with its own error code.
#pragma once

#include <cstdint>

#include "api32/runtime/values.hpp"
#include "api32/win32/module.hpp"

namespace api32 {

class uo_nv_devil {
public:
  /// The shared libraries bound for devIL.dll and ILU.dll.
  static constexpr const char* devil_core_library = "libIL.so.1";
  static constexpr const char* devil_utility_library = "libILU.so.1";

  // instance variables
  bool devil_ready = false;

  uo_nv_devil();   ///< ilInit, ilGetError, iluInit, ilGetError; see devil_ready
  ~uo_nv_devil();  ///< releases the library handles; DevIL itself is not shut down
  uo_nv_devil(const uo_nv_devil&) = delete;
  uo_nv_devil& operator=(const uo_nv_devil&) = delete;

  // ---- entry points of devIL.dll and ILU.dll (the declared ulong results of void functions are 0)
  std::uint32_t ilinit();
  std::uint32_t iluinit();
  std::uint32_t ilbindimage(std::uint32_t image);
  bool illoadimage(const blob& bfilename);
  bool ilload(std::uint16_t num, const blob& bfilename);
  bool ilsaveimage(const blob& bfilename);
  /// `images` is the address (a LocalAlloc block) of `num` 32-bit image names. A value that is not a block,
  /// or a block shorter than `num` names, deletes nothing (ERROR_INVALID_HANDLE / ERROR_INVALID_PARAMETER).
  std::uint32_t ildeleteimages(std::uint16_t num, std::int32_t images);
  /// DevIL's last error code, 0 when there is none (and when the library is out of reach).
  std::int16_t ilgeterror();

  // ---- entry point of Mwdds.dll: works whatever DevIL's state
  /// Converts a TGA file to a 24-bit BMP (`bfilename_dest`) and an 8-bit grey BMP of its alpha channel
  /// (`bfilename_desta`, skipped when empty): 1 success, 0 source missing or not a TGA, -1 a destination
  /// cannot be written. See image/tga_to_bmp.hpp.
  std::int16_t tgatobmps(const blob& bfilename_src, const blob& bfilename_dest, const blob& bfilename_desta);

private:
  using il_void_fn = void (*)();
  using il_bind_fn = void (*)(unsigned int);
  using il_load_image_fn = unsigned char (*)(const char*);
  using il_load_fn = unsigned char (*)(unsigned int, const char*);
  using il_delete_images_fn = void (*)(int, const unsigned int*);
  using il_get_error_fn = unsigned int (*)();

  // Loads both libraries and looks up every entry point; what is missing stays null.
  void bind_libraries();
  // Sets the last error for a call whose entry point is missing: 126 without its library, else 127.
  static void entry_point_missing(const win32::unique_module& library);

  win32::unique_module core_module_;
  win32::unique_module utility_module_;
  il_void_fn il_init_ = nullptr;
  il_void_fn ilu_init_ = nullptr;
  il_bind_fn il_bind_image_ = nullptr;
  il_load_image_fn il_load_image_ = nullptr;
  il_load_fn il_load_ = nullptr;
  il_load_image_fn il_save_image_ = nullptr;
  il_delete_images_fn il_delete_images_ = nullptr;
  il_get_error_fn il_get_error_ = nullptr;
};

}  // namespace api32
