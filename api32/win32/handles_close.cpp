// handles_close.cpp - CloseHandle for every kind of kernel object.
#include "api32/win32/kernel_object.hpp"

namespace api32::win32 {

BOOL CloseHandle(HANDLE handle) {
  for (handle_kind kind : {handle_kind::file, handle_kind::process, handle_kind::thread, handle_kind::snapshot}) {
    if (auto object = handles().take<kernel_object>(handle, kind)) {
      object.reset();  // the destructor releases the descriptor
      return TRUE_;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE_;
}

}  // namespace api32::win32
