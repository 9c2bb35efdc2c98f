// abi_memory.cpp - the memory blocks of the handle table for C hosts: what a class takes as the 32-bit
// address of a block (uo_nv_devil.ildeleteimages' array of image names, for one) is made, filled, read and
// freed here, with the same checks as inside the library.
#include "api32/abi/api32.h"
#include "api32/win32/memory.hpp"

extern "C" {
API32_EXPORT uint32_t api32_local_alloc(uint32_t flags, size_t bytes) {
  try {  // nothing may unwind into a C caller: a block that cannot be had is 0
    return api32::win32::LocalAlloc(flags, bytes);
  } catch (...) {
    return 0;
  }
}
API32_EXPORT uint32_t api32_local_free(uint32_t block) { return api32::win32::LocalFree(block); }
API32_EXPORT size_t api32_local_size(uint32_t block) { return api32::win32::LocalSize(block); }
API32_EXPORT int32_t api32_local_write(uint32_t block, size_t offset, const void* data, size_t size) {
  if (!data && size > 0) return 0;
  return api32::win32::write_local_block(block, offset, data, size) ? 1 : 0;
}
API32_EXPORT int32_t api32_local_read(uint32_t block, size_t offset, void* out, size_t size) {
  if (!out && size > 0) return 0;
  return api32::win32::read_local_block(block, offset, out, size) ? 1 : 0;
}
API32_EXPORT uint32_t api32_get_last_error(void) { return api32::win32::GetLastError(); }
}
