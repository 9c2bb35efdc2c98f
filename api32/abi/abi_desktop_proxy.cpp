// abi_desktop_proxy.cpp - the desktop classes' entry points in libapi32.so: they load the module
// libapi32_desktop.so on first use, so that a host which only handles archives never pays for GTK and WebKit
// and runs without a display stack.
#include <mutex>
#include <string>

#include "api32/abi/api32.h"
#include "api32/abi/class_registry.hpp"
#include "api32/win32/module.hpp"
#include "api32/win32/module_self.hpp"

namespace api32::abi {
namespace {

struct desktop_module {
  api32::win32::HMODULE module = 0;
  std::string error;
};

// The module lies beside libapi32.so (or where API32_DESKTOP_MODULE says).
desktop_module& loaded_module() {
  static desktop_module m = [] {
    desktop_module d;
    std::string path;
    if (const char* forced = std::getenv("API32_DESKTOP_MODULE"); forced && *forced) {
      path = forced;
    } else {
      std::string self = api32::win32::module_file_of(reinterpret_cast<const void*>(&api32_find_class));
      std::size_t slash = self.rfind('/');
      path = (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) + "libapi32_desktop.so";
    }
    d.module = api32::win32::LoadLibraryA(path);
    if (d.module == 0)
      d.error = "the desktop module " + path + " cannot be loaded (not installed, or GTK 3 / WebKit2GTK missing)";
    return d;
  }();
  return m;
}

}  // namespace

const api32_vtable_info* desktop_class(const char* name) noexcept {
  try {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    desktop_module& m = loaded_module();
    if (m.module == 0) {
      set_last_error(m.error);
      return nullptr;
    }
    std::string symbol = std::string("api32_desktop_getVtableInfo_") + name;
    auto entry = reinterpret_cast<const api32_vtable_info* (*)()>(api32::win32::GetProcAddress(m.module, symbol));
    if (!entry) {
      set_last_error("the desktop module has no class " + std::string(name));
      return nullptr;
    }
    return entry();
  } catch (...) {
    return nullptr;
  }
}

/// An entry point of the desktop module other than a class (the reference host's desktop commands), or null.
void* desktop_entry(const char* symbol) noexcept {
  try {
    desktop_module& m = loaded_module();
    if (m.module == 0) {
      set_last_error(m.error);
      return nullptr;
    }
    void* entry = reinterpret_cast<void*>(api32::win32::GetProcAddress(m.module, symbol));
    if (!entry) set_last_error(std::string("the desktop module has no entry point ") + symbol);
    return entry;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace api32::abi

extern "C" {
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_getopenfilename(void) {
  return api32::abi::desktop_class("uo_nv_getopenfilename");
}
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_trayicon(void) {
  return api32::abi::desktop_class("uo_nv_trayicon");
}
API32_EXPORT const api32_vtable_info* getVtableInfo_trayicon_menu(void) {
  return api32::abi::desktop_class("trayicon_menu");
}
API32_EXPORT const api32_vtable_info* getVtableInfo_w_download_addon(void) {
  return api32::abi::desktop_class("w_download_addon");
}
API32_EXPORT void* api32_desktop_symbol(const char* name) {
  if (!name) return nullptr;
  return api32::abi::desktop_entry(name);
}
}
