// memory.hpp - LocalAlloc blocks: memory the classes reach through 32-bit "addresses" of the handle table.
//
// A block's address is an entry of kind memory; every access is bounds-checked against the block, and a
// stale, foreign or out-of-range access is refused, never performed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "api32/win32/last_error.hpp"

namespace api32::win32 {

using HLOCAL = std::uint32_t;  ///< a value of the handle table; 0 is no block

inline constexpr std::uint32_t LMEM_FIXED = 0x0000;
inline constexpr std::uint32_t LMEM_ZEROINIT = 0x0040;
inline constexpr std::uint32_t LPTR = LMEM_FIXED | LMEM_ZEROINIT;

/// Largest block: what a 32-bit process could hold at all.
inline constexpr std::size_t max_local_block = 0x7FFFFFFF;

/// A block of `bytes` bytes (zero-filled with LMEM_ZEROINIT; here every block starts zeroed, so no stale data
/// is ever readable); its address, or 0 with ERROR_NOT_ENOUGH_MEMORY.
HLOCAL LocalAlloc(std::uint32_t flags, std::size_t bytes);
/// Frees a block: 0, or the value itself with ERROR_INVALID_HANDLE when it is not a live block.
HLOCAL LocalFree(HLOCAL block);
/// The block's size in bytes; 0 with ERROR_INVALID_HANDLE for a value that is not a live block.
std::size_t LocalSize(HLOCAL block);

/// Copies `size` bytes from `offset` of a block into `out`. False, copying nothing, with ERROR_INVALID_HANDLE
/// for a value that is not a live block or ERROR_INVALID_PARAMETER for a range outside it.
bool read_local_block(HLOCAL block, std::size_t offset, void* out, std::size_t size);
/// Copies `size` bytes from `data` to `offset` of a block; refused as read_local_block is.
bool write_local_block(HLOCAL block, std::size_t offset, const void* data, std::size_t size);

}  // namespace api32::win32
