// The allocator's named objects: the mutex and the page-file-backed section
// that the modules of a process share.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "zevar/dmem.h"
#include "zevar/dmem_layout.h"

using namespace dmem;

TEST(DMemSharedWinTest, TheMutexAndTheSectionAreNamedByTheProcess) {
  char name[64];
  std::snprintf(name, sizeof name, "s.zevar.mks.--.2.0.%lX", GetCurrentProcessId());
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name);
  ASSERT_NE(mutex, nullptr) << name;
  CloseHandle(mutex);

  name[0] = 'm';
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
  ASSERT_NE(mapping, nullptr) << name;
  auto* view = static_cast<const DMemShared*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  // A second view of the same section: the allocator's state lives in it.
  EXPECT_EQ(view->view, g_shared);
  EXPECT_EQ(view->pool, g_shared->pool);
  EXPECT_EQ(view->mapping, g_shared->mapping);
  EXPECT_EQ(view->modules, 1u);
  EXPECT_EQ(view->registry.capacity, 256u);
  EXPECT_EQ(view->registry.heaps, g_shared->registry_heaps);
  UnmapViewOfFile(view);
  CloseHandle(mapping);
}

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
