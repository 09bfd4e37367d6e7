// The allocator's tiers, size classes, resizing rules and page bookkeeping.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "zevar/dmem.h"
#include "zevar/dmem_layout.h"

using namespace dmem;

namespace {

uint16_t Tier(const void* block) {
  const uint16_t* words = static_cast<const uint16_t*>(block);
  return words[-2] == 0xFFFF ? words[-1] : 1;
}
uint32_t HeaderSize(const void* block) { return static_cast<const uint32_t*>(block)[-2]; }
uint32_t FreeCount(const DMemPage* page) { return __atomic_load_n(&page->state, __ATOMIC_ACQUIRE) & 0xFFFF; }

void Fill(void* block, size_t n, unsigned char seed) {
  auto* p = static_cast<unsigned char*>(block);
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(seed + i * 7);
}
bool Holds(const void* block, size_t n, unsigned char seed) {
  auto* p = static_cast<const unsigned char*>(block);
  for (size_t i = 0; i < n; ++i)
    if (p[i] != static_cast<unsigned char>(seed + i * 7)) return false;
  return true;
}

// A static object that allocates while it is constructed, as the program's
// own static objects do: the shared state must exist by then, or the block
// comes from the process heap instead of a page.
struct StaticUser {
  StaticUser() : block(DMemAlloc(24)) {}
  ~StaticUser() { DMemFree(block); }
  void* block;
} g_static_user;

// Runs `body` on a thread of its own that has ended when this returns.
template <typename F>
void OnNewThread(F body) {
  std::thread thread(body);
  thread.join();
}

}  // namespace

TEST(DMemTest, SharedStateIsSetUpBeforeStaticObjects) {
  ASSERT_NE(g_static_user.block, nullptr);
  EXPECT_EQ(Tier(g_static_user.block), 1);
  ASSERT_NE(g_shared, nullptr);
  EXPECT_EQ(g_shared->view, g_shared);
  EXPECT_NE(g_shared->pool, nullptr);
  EXPECT_EQ(g_shared->pool->owner_thread, 0u);
  EXPECT_EQ(g_shared->modules, 1u);
  EXPECT_EQ(g_shared->registry.capacity, 256u);
}

TEST(DMemTest, SizeClassTable) {
  // Class sizes: steps of 8 from 4, of 16 from 76, of 32 from 284.
  for (unsigned c = 0; c < kClassCount; ++c) {
    unsigned expected = c <= 8 ? 4 + 8 * c : c <= 21 ? 76 + 16 * (c - 9) : 284 + 32 * (c - 22);
    EXPECT_EQ(g_shared->class_size[c], expected) << c;
  }
  // Every size maps to the smallest class that holds it.
  for (size_t n = 1; n <= kSmallLimit; ++n) {
    uint32_t c = ClassOf(n);
    ASSERT_LT(c, kClassCount);
    EXPECT_GE(g_shared->class_size[c], n) << n;
    if (c > 0) {
      EXPECT_LT(g_shared->class_size[c - 1], n) << n;
    }
  }
}

TEST(DMemTest, RequestsChooseTheirTier) {
  EXPECT_EQ(DMemAlloc(0), nullptr);
  EXPECT_EQ(DMemAlloc(0x80000000u), nullptr);
  DMemFree(nullptr);

  void* small = DMemAlloc(1052);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(Tier(small), 1);
  EXPECT_EQ(PageOf(small)->size_class, 46);
  EXPECT_EQ(PageOf(small)->stride, 1056);

  void* heap = DMemAlloc(1053);
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(Tier(heap), 2);
  EXPECT_EQ(HeaderSize(heap), 1056u);

  void* largest_heap = DMemAlloc(1048560);
  ASSERT_NE(largest_heap, nullptr);
  EXPECT_EQ(Tier(largest_heap), 2);

  void* region = DMemAlloc(1048561);
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(Tier(region), 3);
  EXPECT_EQ(HeaderSize(region), 0x110000u - 8);
  Fill(region, 1048561, 3);
  EXPECT_TRUE(Holds(region, 1048561, 3));

  for (void* p : {small, heap, largest_heap, region}) DMemFree(p);
}

TEST(DMemTest, SmallBlocksLieOnTheirClassStride) {
  std::vector<void*> blocks;
  for (size_t n : {1, 4, 5, 12, 13, 68, 69, 100, 268, 269, 700, 1052}) {
    void* p = DMemAlloc(n);
    ASSERT_NE(p, nullptr);
    const DMemPage* page = PageOf(p);
    uintptr_t offset = static_cast<char*>(p) - reinterpret_cast<const char*>(page);
    uint32_t first = page->index == 0 ? kFirstUserOnChunk : kFirstUser;
    EXPECT_EQ(page->stride, g_shared->class_size[ClassOf(n)] + 4);
    EXPECT_EQ((offset - first) % page->stride, 0u) << n;
    EXPECT_EQ(page->capacity, (0x10000 - (first - 4)) / page->stride);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
    Fill(p, n, uint8_t(n));
    blocks.push_back(p);
  }
  for (void* p : blocks) DMemFree(p);
}

TEST(DMemTest, ReallocKeepsBytesAcrossTiers) {
  auto* p = static_cast<char*>(DMemAlloc(1000));
  ASSERT_NE(p, nullptr);
  Fill(p, 1000, 9);
  p = static_cast<char*>(DMemRealloc(p, 2000));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Tier(p), 2);
  EXPECT_TRUE(Holds(p, 1000, 9));

  // A shrinking tier-2 block stays on the process heap.
  p = static_cast<char*>(DMemRealloc(p, 500));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Tier(p), 2);
  EXPECT_EQ(HeaderSize(p), 512u);
  EXPECT_TRUE(Holds(p, 500, 9));

  // Too large: fails and leaves the block.
  EXPECT_EQ(DMemRealloc(p, size_t(0x80000000u)), nullptr);
  EXPECT_TRUE(Holds(p, 500, 9));

  // Up into its own region and back down to a small block.
  p = static_cast<char*>(DMemRealloc(p, 3 << 20));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Tier(p), 3);
  EXPECT_TRUE(Holds(p, 500, 9));
  p = static_cast<char*>(DMemRealloc(p, 100));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Tier(p), 1);
  EXPECT_TRUE(Holds(p, 100, 9));
  DMemFree(p);

  void* fresh = DMemRealloc(nullptr, 24);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(Tier(fresh), 1);
  DMemFree(fresh);
}

TEST(DMemTest, ResizeKeepsBlocksWithLittleSlack) {
  void* p = DMemAlloc(4096);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(DMemResize(p, 3500), p);
  EXPECT_EQ(HeaderSize(p), 4096u);
  p = DMemResize(p, 3000);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Tier(p), 2);
  EXPECT_EQ(HeaderSize(p), 3008u);

  // A region keeps its place while the new size fits.
  void* region = DMemAlloc(2 << 20);
  ASSERT_NE(region, nullptr);
  uint32_t usable = HeaderSize(region);
  EXPECT_EQ(DMemResize(region, (2 << 20) - 0x8000), region);
  EXPECT_EQ(DMemResize(region, 1200000), region);
  EXPECT_EQ(HeaderSize(region), usable);
  DMemFree(region);

  // Small blocks always move.
  void* small = DMemAlloc(100);
  Fill(small, 100, 1);
  void* moved = DMemResize(small, 90);
  ASSERT_NE(moved, nullptr);
  EXPECT_TRUE(Holds(moved, 90, 1));
  DMemFree(moved);
  DMemFree(p);
}

TEST(DMemTest, RegionsGrowInStepsAndKeepTheirBytes) {
  const size_t step = 1 << 20;
  auto* p = static_cast<unsigned char*>(DMemRealloc(nullptr, step));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0x5A, step);
  for (size_t total = 2 * step; total <= 24 * step; total += step) {
    p = static_cast<unsigned char*>(DMemRealloc(p, total));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Tier(p), 3);
    EXPECT_GE(HeaderSize(p), total);
    std::memset(p + total - step, uint8_t(total >> 20), step);
  }
  EXPECT_EQ(p[0], 0x5A);
  for (size_t mib = 2; mib <= 24; ++mib) ASSERT_EQ(p[mib * step - 1], mib) << mib;
  // And shrink in place.
  p = static_cast<unsigned char*>(DMemRealloc(p, 3 * step));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 0x5A);
  EXPECT_EQ(p[3 * step - 1], 3);
  DMemFree(p);
}

TEST(DMemTest, PagesMoveBetweenListsAsTheyFillAndEmpty) {
  OnNewThread([] {
    // The largest class: few blocks per page.
    std::vector<void*> blocks;
    void* first = DMemAlloc(1052);
    ASSERT_NE(first, nullptr);
    DMemPage* page = PageOf(first);
    DMemHeap* heap = page->owner;
    blocks.push_back(first);
    while (blocks.size() < page->capacity) blocks.push_back(DMemAlloc(1052));
    for (void* p : blocks) EXPECT_EQ(PageOf(p), page);
    EXPECT_EQ(FreeCount(page), 0u);
    EXPECT_EQ(page->list, kListFull);
    void* next = DMemAlloc(1052);
    EXPECT_NE(PageOf(next), page);

    // Back on its class list once the threshold (4 for this class) is free.
    EXPECT_EQ(page->threshold, 4);
    for (int i = 0; i < 3; ++i) DMemFree(blocks[i]);
    EXPECT_EQ(page->list, kListFull);
    DMemFree(blocks[3]);
    EXPECT_EQ(page->list, kListClass);
    EXPECT_EQ(heap->classes[46], page);
    // Freed blocks are handed out again, last freed first.
    void* again = DMemAlloc(1040);
    EXPECT_EQ(again, blocks[3]);
    blocks[3] = again;

    // An emptied page behind the head becomes free; the head stays, empty.
    uint32_t free_pages = heap->free_pages;
    DMemPage* second = PageOf(next);
    DMemFree(next);
    EXPECT_EQ(second->list, kListFree);
    EXPECT_EQ(heap->free_pages, free_pages + 1);
    for (size_t i = 3; i < blocks.size(); ++i) DMemFree(blocks[i]);
    EXPECT_EQ(page->list, kListClass);
    EXPECT_EQ(FreeCount(page), page->capacity);
    EXPECT_EQ(heap->free_pages, free_pages + 1);
  });
}

TEST(DMemTest, ChunksGoBackOnlyWhileSixteenPagesAreFree) {
  OnNewThread([] {
    std::vector<void*> blocks;
    void* probe = DMemAlloc(1052);
    DMemHeap* heap = PageOf(probe)->owner;
    // Fill three chunks' worth of pages.
    uint32_t capacity = PageOf(probe)->capacity;
    for (uint32_t i = 0; i < 24 * capacity; ++i) blocks.push_back(DMemAlloc(1052));
    uint32_t live = __atomic_load_n(&g_shared->live_chunks, __ATOMIC_RELAXED);
    for (void* p : blocks) DMemFree(p);
    EXPECT_LT(heap->free_pages, kKeepFreePages);
    EXPECT_LT(__atomic_load_n(&g_shared->live_chunks, __ATOMIC_RELAXED), live);
    // The with-free list stays in ascending order of free pages.
    for (DMemChunk* c = heap->chunks_with_free; c && c->next; c = c->next)
      EXPECT_LE(c->free_pages, c->next->free_pages);
    DMemFree(probe);
  });
}
