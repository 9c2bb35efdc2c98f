// module.hpp - LoadLibraryA / GetProcAddress / FreeLibrary over the dynamic loader, and substitutes for tests.
//
// A module handle is an entry of the handle table (kind module); a stale or foreign value is refused with
// ERROR_INVALID_HANDLE. A library, once loaded, stays mapped until the process ends even after FreeLibrary
// releases its last handle: libraries register exit handlers and keep state (DevIL does both), and unmapping
// them under a live process would run those handlers early or leave them pointing at nothing.
//
// Substitutes: a test (or a host) can stand in for a library by name. While a substitute is installed,
// LoadLibraryA of that exact name yields a module whose GetProcAddress answers from the substitute's table, or
// fails with ERROR_MOD_NOT_FOUND when the substitute says the library is missing.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "api32/win32/last_error.hpp"

namespace api32::win32 {

using HMODULE = std::uint32_t;  ///< a value of the handle table; 0 is no module
/// An entry point as GetProcAddress returns it. Callers cast it to the entry point's real type; void(*)() is
/// the one function type every other converts from and to without a cast warning.
using FARPROC = void (*)();

/// Loads a shared library: a bare name ("libIL.so.1") is searched the loader's way, a name with a separator
/// is a path (Windows or native, mapped by win32/paths). The module's handle, or 0 with ERROR_MOD_NOT_FOUND.
HMODULE LoadLibraryA(std::string_view file_name);
/// An entry point of a loaded module, or nullptr: ERROR_INVALID_HANDLE for a value that is not a module,
/// ERROR_PROC_NOT_FOUND for a name the module lacks.
FARPROC GetProcAddress(HMODULE module, std::string_view proc_name);
/// Releases a module handle: TRUE, or FALSE with ERROR_INVALID_HANDLE.
BOOL FreeLibrary(HMODULE module);

/// A module handle that FreeLibrary releases when the owner goes away.
class unique_module {
public:
  unique_module() = default;
  explicit unique_module(HMODULE module) : module_(module) {}
  ~unique_module() { reset(); }
  unique_module(const unique_module&) = delete;
  unique_module& operator=(const unique_module&) = delete;
  unique_module(unique_module&& other) noexcept : module_(other.release()) {}
  unique_module& operator=(unique_module&& other) noexcept {
    if (this != &other) {
      reset();
      module_ = other.release();
    }
    return *this;
  }

  HMODULE get() const { return module_; }
  explicit operator bool() const { return module_ != 0; }
  HMODULE release() {
    HMODULE module = module_;
    module_ = 0;
    return module;
  }
  void reset() {
    if (module_ != 0) FreeLibrary(release());
  }

private:
  HMODULE module_ = 0;
};

/// The entry points of a substitute library by name; nullopt stands for a library that cannot be loaded.
using module_entry_points = std::optional<std::map<std::string, FARPROC, std::less<>>>;

/// Installs (or replaces) the substitute for `library_name` and returns the one it replaced, if any.
/// Modules already loaded under that name keep what they had.
std::optional<module_entry_points> substitute_module(std::string library_name, module_entry_points entry_points);
/// Removes the substitute for `library_name` (a later LoadLibraryA reaches the real library again).
void remove_module_substitute(std::string_view library_name);

/// Installs a substitute for the lifetime of the object and puts back what was there before.
class scoped_module_substitute {
public:
  scoped_module_substitute(std::string library_name, module_entry_points entry_points);
  ~scoped_module_substitute();
  scoped_module_substitute(const scoped_module_substitute&) = delete;
  scoped_module_substitute& operator=(const scoped_module_substitute&) = delete;

private:
  std::string name_;
  std::optional<module_entry_points> previous_;
};

}  // namespace api32::win32
