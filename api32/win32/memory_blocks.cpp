// memory_blocks.cpp - LocalAlloc, LocalFree, LocalSize and the bounds-checked block accessors.
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "api32/win32/handles.hpp"
#include "api32/win32/memory.hpp"

namespace api32::win32 {
namespace {

struct local_block {
  std::vector<std::uint8_t> bytes;
};

// The block, with the last error set when there is none or [offset, offset + size) is not inside it.
std::shared_ptr<local_block> block_for_range(HLOCAL block, std::size_t offset, std::size_t size) {
  auto found = handles().get<local_block>(block, handle_kind::memory);
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (offset > found->bytes.size() || size > found->bytes.size() - offset) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return found;
}

}  // namespace

HLOCAL LocalAlloc(std::uint32_t /*flags*/, std::size_t bytes) {
  if (bytes > max_local_block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  std::shared_ptr<local_block> block;
  try {
    block = std::make_shared<local_block>();
    block->bytes.assign(bytes, 0);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  HLOCAL address = handles().add(handle_kind::memory, std::move(block));
  if (address == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return address;
}

HLOCAL LocalFree(HLOCAL block) {
  if (!handles().take<local_block>(block, handle_kind::memory)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return block;
  }
  return 0;
}

std::size_t LocalSize(HLOCAL block) {
  auto found = handles().get<local_block>(block, handle_kind::memory);
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return found->bytes.size();
}

bool read_local_block(HLOCAL block, std::size_t offset, void* out, std::size_t size) {
  auto found = block_for_range(block, offset, size);
  if (!found) return false;
  if (size != 0) std::memcpy(out, found->bytes.data() + offset, size);
  return true;
}

bool write_local_block(HLOCAL block, std::size_t offset, const void* data, std::size_t size) {
  auto found = block_for_range(block, offset, size);
  if (!found) return false;
  if (size != 0) std::memcpy(found->bytes.data() + offset, data, size);
  return true;
}

}  // namespace api32::win32
