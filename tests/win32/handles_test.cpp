// The handle table refuses stale, forged and wrong-kind values.
#include <gtest/gtest.h>

#include "api32/win32/handles.hpp"

namespace w = api32::win32;

TEST(Handles, LiveValuesArePositiveAndTyped) {
  auto& table = w::handles();
  auto before = table.count();
  std::uint32_t h = table.add(w::handle_kind::file, std::make_shared<int>(7));
  ASSERT_NE(h, 0u);
  EXPECT_GT(static_cast<std::int32_t>(h), 0);
  EXPECT_EQ(*table.get<int>(h, w::handle_kind::file), 7);
  EXPECT_EQ(table.get<int>(h, w::handle_kind::find), nullptr);     // wrong kind
  EXPECT_EQ(table.get<long>(h, w::handle_kind::file), nullptr);    // wrong type
  EXPECT_EQ(table.get<int>(h + 1, w::handle_kind::file), nullptr);  // forged
  EXPECT_EQ(table.get<int>(0, w::handle_kind::file), nullptr);
  EXPECT_EQ(table.count(), before + 1);
  EXPECT_EQ(*table.take<int>(h, w::handle_kind::file), 7);
  EXPECT_EQ(table.take<int>(h, w::handle_kind::file), nullptr);  // already closed
  EXPECT_EQ(table.count(), before);
}

TEST(Handles, ReusedSlotsGetNewValues) {
  auto& table = w::handles();
  std::uint32_t first = table.add(w::handle_kind::other, std::make_shared<int>(1));
  table.take<int>(first, w::handle_kind::other);
  // drain the free list until the freed slot comes back
  std::vector<std::uint32_t> held;
  std::uint32_t again = 0;
  for (int i = 0; i < 70000 && again == 0; ++i) {
    std::uint32_t h = table.add(w::handle_kind::other, std::make_shared<int>(2));
    if ((h & 0xFFFF) == (first & 0xFFFF)) again = h;
    else held.push_back(h);
  }
  ASSERT_NE(again, 0u);
  EXPECT_NE(again, first);
  EXPECT_EQ(table.get<int>(first, w::handle_kind::other), nullptr);  // the stale value stays refused
  EXPECT_EQ(table.find_by_low16(w::handle_kind::other, static_cast<std::uint16_t>(first & 0xFFFF)), again);
  table.take<int>(again, w::handle_kind::other);
  for (auto h : held) table.take<int>(h, w::handle_kind::other);
  EXPECT_EQ(table.count(w::handle_kind::other), 0u);
}

TEST(Handles, NullObjectsAreRefused) {
  EXPECT_EQ(w::handles().add(w::handle_kind::other, std::shared_ptr<int>()), 0u);
}
