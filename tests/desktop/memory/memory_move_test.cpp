// RtlMoveMemory between character arrays and LocalAlloc blocks: copies inside both sides happen, every
// other copy is refused and leaves both sides as they were.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api32/win32/handles.hpp"
#include "api32/win32/memory.hpp"
#include "api32/win32/memory_move.hpp"

namespace w = api32::win32;

namespace {

std::string block_content(w::HLOCAL block) {
  std::string out(w::LocalSize(block), '?');
  EXPECT_TRUE(w::read_local_block(block, 0, out.data(), out.size()));
  return out;
}

}  // namespace

TEST(RtlMoveMemory, CopiesIntoABlockAndBackOut) {
  w::HLOCAL block = w::LocalAlloc(w::LMEM_ZEROINIT, 8);
  ASSERT_NE(block, 0u);
  std::vector<char> source = {'a', '\xC3', '\x9C', 'b'};  // "aÜb": bytes go through as they are
  w::SetLastError(0xdeadbeef);
  ASSERT_EQ(w::RtlMoveMemory(block, source, source.size()), w::TRUE_);
  EXPECT_EQ(w::GetLastError(), 0xdeadbeefu);  // a success leaves the last error alone
  EXPECT_EQ(block_content(block), std::string("a\xC3\x9C"
                                              "b\0\0\0\0",
                                              8));

  std::vector<char> dest(8, ' ');
  ASSERT_EQ(w::RtlMoveMemory(dest, block, 8), w::TRUE_);
  EXPECT_EQ(std::string(dest.begin(), dest.end()), std::string("a\xC3\x9C"
                                                               "b\0\0\0\0",
                                                               8));

  std::vector<char> part(3, ' ');  // a copy shorter than both sides takes the block's first bytes
  ASSERT_EQ(w::RtlMoveMemory(part, block, 2), w::TRUE_);
  EXPECT_EQ(std::string(part.begin(), part.end()), "a\xC3 ");
  EXPECT_EQ(w::LocalFree(block), 0u);
}

TEST(RtlMoveMemory, RefusedCopiesTouchNothing) {
  w::HLOCAL block = w::LocalAlloc(w::LMEM_ZEROINIT, 4);
  w::HLOCAL freed = w::LocalAlloc(w::LMEM_ZEROINIT, 4);
  w::LocalFree(freed);
  std::uint32_t not_memory = w::handles().add(w::handle_kind::other, std::make_shared<int>(1));
  ASSERT_NE(block, 0u);

  struct row {
    const char* what;
    w::HLOCAL address;
    std::size_t array_size;
    std::size_t size;
    w::DWORD error;
  };
  const row rows[] = {
      {"past the block's end", block, 16, 5, w::ERROR_INVALID_PARAMETER},
      {"past the array's end", block, 3, 4, w::ERROR_INVALID_PARAMETER},
      {"a negative long size", block, 16, static_cast<std::size_t>(-1), w::ERROR_INVALID_PARAMETER},
      {"a freed block", freed, 16, 1, w::ERROR_INVALID_HANDLE},
      {"no block at all", 0, 16, 1, w::ERROR_INVALID_HANDLE},
      {"a handle of another kind", not_memory, 16, 1, w::ERROR_INVALID_HANDLE},
      {"a stale block and a short array", freed, 0, 1, w::ERROR_INVALID_HANDLE},
  };
  ASSERT_TRUE(w::write_local_block(block, 0, "wxyz", 4));
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    std::vector<char> array(r.array_size, '#');
    w::SetLastError(0xdeadbeef);
    EXPECT_EQ(w::RtlMoveMemory(array, r.address, r.size), w::FALSE_);
    EXPECT_EQ(w::GetLastError(), r.error);
    EXPECT_EQ(array, std::vector<char>(r.array_size, '#'));
    w::SetLastError(0xdeadbeef);
    EXPECT_EQ(w::RtlMoveMemory(r.address, array, r.size), w::FALSE_);
    EXPECT_EQ(w::GetLastError(), r.error);
    EXPECT_EQ(block_content(block), "wxyz");
  }
  w::handles().take<int>(not_memory, w::handle_kind::other);
  w::LocalFree(block);
}

TEST(RtlMoveMemory, ZeroBytesIntoAnEmptyBlockIsACopy) {
  w::HLOCAL empty = w::LocalAlloc(w::LMEM_ZEROINIT, 0);
  ASSERT_NE(empty, 0u);
  std::vector<char> none;
  EXPECT_EQ(w::RtlMoveMemory(empty, none, 0), w::TRUE_);
  EXPECT_EQ(w::RtlMoveMemory(none, empty, 0), w::TRUE_);
  std::vector<char> one = {'x'};
  EXPECT_EQ(w::RtlMoveMemory(empty, one, 1), w::FALSE_);  // an empty block holds nothing, not even one NUL
  w::LocalFree(empty);
}
