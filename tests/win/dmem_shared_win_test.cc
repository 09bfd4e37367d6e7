// The allocator's regions on Windows: reserved address space to grow in.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "zevar/dmem.h"

TEST(DMemSharedWinTest, ARegionThatMovedToGrowKeepsRoomToGrowInPlace) {
  const size_t mib = size_t(1) << 20;
  auto* first = static_cast<unsigned char*>(DMemAlloc(mib));
  ASSERT_NE(first, nullptr);
  std::memset(first, 7, mib);
  // The first growth moves it to a region with room after it...
  auto* moved = static_cast<unsigned char*>(DMemRealloc(first, 2 * mib));
  ASSERT_NE(moved, nullptr);
  // ...where the next steps stay.
  auto* grown = static_cast<unsigned char*>(DMemRealloc(moved, 3 * mib));
  EXPECT_EQ(grown, moved);
  grown = static_cast<unsigned char*>(DMemRealloc(grown, 4 * mib));
  ASSERT_EQ(grown, moved);
  EXPECT_EQ(grown[mib - 1], 7);
  std::memset(grown + 3 * mib, 9, mib);
  // Shrinking gives the tail back and keeps the place.
  EXPECT_EQ(DMemRealloc(grown, mib + 100), grown);
  EXPECT_EQ(DMemRealloc(grown, 4 * mib), grown);
  EXPECT_EQ(grown[0], 7);
  DMemFree(grown);
}
