// Tests of LocalAlloc blocks: zeroed memory, bounds-checked access, stale addresses refused.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "api32/win32/handles.hpp"
#include "api32/win32/memory.hpp"

namespace api32::win32 {
namespace {

TEST(LocalBlocks, AllocateAccessAndFree) {
  HLOCAL block = LocalAlloc(LPTR, 8);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(LocalSize(block), 8u);
  std::array<std::uint8_t, 8> out{};
  out.fill(0xAA);
  ASSERT_TRUE(read_local_block(block, 0, out.data(), out.size()));
  EXPECT_EQ(out, (std::array<std::uint8_t, 8>{}));  // zeroed

  const std::uint8_t four[] = {1, 2, 3, 4};
  ASSERT_TRUE(write_local_block(block, 4, four, sizeof four));
  ASSERT_TRUE(read_local_block(block, 2, out.data(), 6));
  EXPECT_EQ(std::memcmp(out.data(), "\0\0\1\2\3\4", 6), 0);

  EXPECT_EQ(LocalFree(block), 0u);
  EXPECT_EQ(handles().count(handle_kind::memory), 0u);
}

TEST(LocalBlocks, OutOfRangeAndStaleAccessIsRefused) {
  HLOCAL block = LocalAlloc(LMEM_FIXED, 4);
  ASSERT_NE(block, 0u);
  std::uint8_t out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  struct range {
    std::size_t offset, size;
  };
  for (range r : {range{0, 5}, range{4, 1}, range{5, 0}, range{1, SIZE_MAX}, range{SIZE_MAX, 2}}) {
    SetLastError(0);
    EXPECT_FALSE(read_local_block(block, r.offset, out, r.size)) << r.offset << "+" << r.size;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(write_local_block(block, r.offset, out, r.size));
  }
  EXPECT_EQ(out[0], 9);                                  // nothing copied
  EXPECT_TRUE(read_local_block(block, 4, out, 0));       // an empty range at the end is inside
  EXPECT_EQ(LocalAlloc(LPTR, max_local_block + 1), 0u);  // more than a 32-bit process could have
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);

  ASSERT_EQ(LocalFree(block), 0u);
  for (HLOCAL stale : {block, HLOCAL{0}, HLOCAL{0x7FFFFFFF}}) {
    SetLastError(0);
    EXPECT_FALSE(read_local_block(stale, 0, out, 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(LocalFree(stale), stale);
    EXPECT_EQ(LocalSize(stale), 0u);
  }
}

}  // namespace
}  // namespace api32::win32
