// memory_move.cpp - both forms of RtlMoveMemory over the address table, checked on both sides.
#include "api32/win32/memory_move.hpp"

namespace api32::win32 {
namespace {

// A buffer shorter than the copy: ERROR_INVALID_HANDLE still wins when the block is not a block at all.
BOOL refuse_short_buffer(HLOCAL block) {
  char none = 0;
  if (read_local_block(block, 0, &none, 0)) SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE_;
}

}  // namespace

BOOL RtlMoveMemory(std::span<char> dest, HLOCAL source, std::size_t size) {
  if (size > dest.size()) return refuse_short_buffer(source);
  return read_local_block(source, 0, dest.data(), size) ? TRUE_ : FALSE_;
}

BOOL RtlMoveMemory(HLOCAL dest, std::span<const char> source, std::size_t size) {
  if (size > source.size()) return refuse_short_buffer(dest);
  return write_local_block(dest, 0, source.data(), size) ? TRUE_ : FALSE_;
}

}  // namespace api32::win32
