// memory_move.hpp - RtlMoveMemory between the caller's character arrays and LocalAlloc blocks.
//
// On Windows RtlMoveMemory copies between two raw addresses and trusts both. Here one side is always a block
// of the address table and the other a buffer the caller hands over with its size, so both sides are
// checked: a copy that would run past the block or past the buffer is refused and nothing is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "api32/win32/last_error.hpp"
#include "api32/win32/memory.hpp"

namespace api32::win32 {

/// Copies `size` bytes from the start of block `source` into `dest` (a character array passed by reference).
/// TRUE, or FALSE with nothing copied: ERROR_INVALID_HANDLE when `source` is not a live block,
/// ERROR_INVALID_PARAMETER when the block or `dest` is shorter than `size`.
BOOL RtlMoveMemory(std::span<char> dest, HLOCAL source, std::size_t size);
/// Copies `size` bytes from `source` to the start of block `dest`; refused as the other form is.
BOOL RtlMoveMemory(HLOCAL dest, std::span<const char> source, std::size_t size);

}  // namespace api32::win32
