// kernel_object.hpp - the base of every object that CloseHandle closes (files, processes, threads,
// snapshots), and CloseHandle itself.
#pragma once

#include <cstdint>
#include <memory>

#include "api32/win32/handles.hpp"
#include "api32/win32/last_error.hpp"

namespace api32::win32 {

using HANDLE = std::uint32_t;  ///< a value of the handle table; 0 is no handle
inline constexpr HANDLE INVALID_HANDLE_VALUE = 0xFFFFFFFFu;

/// An object reachable through CloseHandle. Its destructor releases what it holds (descriptor, pidfd, ...);
/// the table keeps it as kernel_object, so every area's objects close the same way.
class kernel_object {
public:
  virtual ~kernel_object() = default;
};

/// Stores a kernel object under `kind` (file, process, thread, snapshot); 0 when the table is full.
template <class T>
HANDLE add_kernel_object(handle_kind kind, std::shared_ptr<T> object) {
  return handles().add<kernel_object>(kind, std::static_pointer_cast<kernel_object>(std::move(object)));
}

/// The object of a live handle of `kind` when it is a T; null otherwise.
template <class T>
std::shared_ptr<T> get_kernel_object(HANDLE handle, handle_kind kind) {
  return std::dynamic_pointer_cast<T>(handles().get<kernel_object>(handle, kind));
}

/// Closes a file, process, thread or snapshot handle. Windows: TRUE, or FALSE with ERROR_INVALID_HANDLE for
/// a value that is not an open handle (search handles close with FindClose, icons with DestroyIcon).
BOOL CloseHandle(HANDLE handle);

}  // namespace api32::win32
