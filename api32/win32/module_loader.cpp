// module_loader.cpp - LoadLibraryA, GetProcAddress and FreeLibrary over dlopen and dlsym.
#include <dlfcn.h>

#include <memory>
#include <string>

#include "api32/win32/handles.hpp"
#include "api32/win32/module.hpp"
#include "api32/win32/module_internal.hpp"
#include "api32/win32/paths.hpp"

namespace api32::win32 {
namespace {

// One loaded module: either a real library (a loader reference) or a substitute's table of entry points.
struct loaded_module {
  void* library = nullptr;
  std::map<std::string, FARPROC, std::less<>> substitute_entry_points;

  loaded_module() = default;
  loaded_module(const loaded_module&) = delete;
  loaded_module& operator=(const loaded_module&) = delete;
  ~loaded_module() {
    if (library != nullptr) ::dlclose(library);
  }
};

bool has_separator(std::string_view name) { return name.find_first_of("/\\") != std::string_view::npos; }

// The name the loader is given: a path is mapped, a bare name searched as it stands.
std::optional<std::string> loader_name(std::string_view file_name) {
  if (!has_separator(file_name)) return std::string(file_name);
  return to_native_path(file_name);
}

}  // namespace

HMODULE LoadLibraryA(std::string_view file_name) {
  auto module = std::make_shared<loaded_module>();
  if (auto substitute = detail::find_module_substitute(file_name)) {
    if (!substitute->has_value()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    module->substitute_entry_points = **substitute;
  } else {
    std::optional<std::string> name = file_name.empty() ? std::nullopt : loader_name(file_name);
    // RTLD_NODELETE: the library stays mapped after its last handle goes (see module.hpp).
    void* library = name ? ::dlopen(name->c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE) : nullptr;
    if (library == nullptr) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    module->library = library;
  }
  HMODULE handle = handles().add(handle_kind::module, std::move(module));
  if (handle == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return handle;
}

FARPROC GetProcAddress(HMODULE module, std::string_view proc_name) {
  auto loaded = handles().get<loaded_module>(module, handle_kind::module);
  if (!loaded) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  FARPROC entry_point = nullptr;
  if (loaded->library != nullptr) {
    std::string name(proc_name);
    entry_point = name.empty() ? nullptr : reinterpret_cast<FARPROC>(::dlsym(loaded->library, name.c_str()));
  } else if (auto found = loaded->substitute_entry_points.find(proc_name);
             found != loaded->substitute_entry_points.end()) {
    entry_point = found->second;
  }
  if (entry_point == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return entry_point;
}

BOOL FreeLibrary(HMODULE module) {
  if (!handles().take<loaded_module>(module, handle_kind::module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  return TRUE_;
}

}  // namespace api32::win32
