#include <gtest/gtest.h>

#include "api32/runtime/datastore.hpp"

TEST(Datastore, RowsAndColumnsByName) {
  api32::datastore ds({"d_test", {{"filename", "Filename"}, {"filepath", "Filepath"}}});
  EXPECT_EQ(ds.rowcount(), 0);
  EXPECT_EQ(ds.insertrow(0), 1);
  EXPECT_EQ(ds.insertrow(0), 2);
  EXPECT_EQ(ds.setitem(1, "FileName", "a.txt"), 1);  // column names compare without regard to case
  EXPECT_EQ(ds.setitem(2, "filepath", "docs\\"), 1);
  EXPECT_EQ(ds.getitemstring(1, "filename"), "a.txt");
  EXPECT_EQ(ds.getitemstring(2, "filename"), std::nullopt);
  EXPECT_EQ(ds.insertrow(1), 1);  // before row 1: the others move down
  EXPECT_EQ(ds.getitemstring(2, "filename"), "a.txt");
  EXPECT_EQ(ds.rowcount(), 3);
}

TEST(Datastore, RefusesBadRowsAndColumns) {
  api32::datastore ds({"d_test", {{"a", "A"}}});
  EXPECT_EQ(ds.setitem(1, "a", "x"), -1);
  EXPECT_EQ(ds.insertrow(5), -1);
  ds.insertrow(0);
  EXPECT_EQ(ds.setitem(1, "nope", "x"), -1);
  EXPECT_EQ(ds.setitem(0, "a", "x"), -1);
  EXPECT_EQ(ds.getitemstring(2, "a"), std::nullopt);
  EXPECT_EQ(ds.deleterow(2), -1);
  api32::datastore empty;
  EXPECT_EQ(empty.insertrow(0), -1);
}
