// module_self.cpp - the file of the library that holds an address, through the dynamic loader.
#include "api32/win32/module_self.hpp"

#include <dlfcn.h>

namespace api32::win32 {

std::string module_file_of(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || !info.dli_fname) return {};
  return info.dli_fname;
}

}  // namespace api32::win32
