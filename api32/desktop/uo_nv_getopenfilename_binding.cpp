// uo_nv_getopenfilename_binding.cpp - the class's declarations of GetOpenFileNameA, CommDlgExtendedError,
// RtlMoveMemory (both forms), LocalAlloc and LocalFree, bound to the Win32 stand-in.
#include <cstddef>
#include <limits>
#include <span>

#include "api32/desktop/uo_nv_getopenfilename.hpp"
#include "api32/desktop_win32/desktop_dialog.hpp"
#include "api32/win32/memory.hpp"
#include "api32/win32/memory_move.hpp"

namespace api32 {
namespace {

// A negative long byte count is a size no block has: the stand-in refuses it instead of reading it as 2^32-n.
std::size_t byte_count(std::int32_t size) {
  return size < 0 ? std::numeric_limits<std::size_t>::max() : static_cast<std::size_t>(size);
}

}  // namespace

bool uo_nv_getopenfilename::getopenfilenamea(openfilename& lpofn) {
  return win32::GetOpenFileNameA(&lpofn) != win32::FALSE_;
}

std::uint32_t uo_nv_getopenfilename::commdlgextendederror() { return win32::CommDlgExtendedError(); }

std::int32_t uo_nv_getopenfilename::rtlmovememory(std::vector<char>& dest, std::int32_t source, std::int32_t size) {
  win32::RtlMoveMemory(std::span<char>(dest), static_cast<win32::HLOCAL>(source), byte_count(size));
  return 0;
}

std::int32_t uo_nv_getopenfilename::rtlmovememory(std::int32_t dest, std::vector<char>& source, std::int32_t size) {
  win32::RtlMoveMemory(static_cast<win32::HLOCAL>(dest), std::span<const char>(source), byte_count(size));
  return 0;
}

std::int32_t uo_nv_getopenfilename::localalloc(std::int32_t uflags, std::int32_t ubytes) {
  return static_cast<std::int32_t>(win32::LocalAlloc(static_cast<std::uint32_t>(uflags), byte_count(ubytes)));
}

std::int32_t uo_nv_getopenfilename::localfree(std::int32_t hmem) {
  return static_cast<std::int32_t>(win32::LocalFree(static_cast<win32::HLOCAL>(hmem)));
}

}  // namespace api32
