// module_self.hpp - where a loaded library lies on disk (the stand-in's GetModuleFileName for an address).
#pragma once

#include <string>

namespace api32::win32 {

/// The native path of the shared library (or program) that contains `address`, or "" when unknown.
std::string module_file_of(const void* address);

}  // namespace api32::win32
