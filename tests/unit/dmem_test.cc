// The allocator's blocks of every size, resizing, full and emptied pages;
// blocks freed across threads, heaps of ended threads, the thread registry,
// and a stress run of threads that allocate, free, swap blocks and end.
#include "zevar/dmem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "zevar/dmem_layout.h"

using namespace dmem;

namespace {

uint16_t Tier(const void* block) {
  const uint16_t* words = static_cast<const uint16_t*>(block);
  return words[-2] == 0xFFFF ? words[-1] : 1;
}
uint32_t HeaderSize(const void* block) { return static_cast<const uint32_t*>(block)[-2]; }
uint32_t FreeCount(const DMemPage* page) {
  return __atomic_load_n(&page->state, __ATOMIC_ACQUIRE) & 0xFFFF;
}
DMemHeap* OwnerOf(const void* block) {
  return __atomic_load_n(&PageOf(block)->owner, __ATOMIC_ACQUIRE);
}

// A pattern whose bytes repeat every 256 bytes.
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

DMemHeap* RegisteredHeap(uint32_t id) {
  DMemHeap* found = nullptr;
  dmem_os::LockEnter(&g_shared->pool->lock);
  for (DMemRegistryBlock* b = &g_shared->registry; b && !found; b = b->next)
    for (uint32_t i = 0; i < b->used; ++i)
      if (b->ids()[i] == id) found = b->heaps[i];
  dmem_os::LockLeave(&g_shared->pool->lock);
  return found;
}

// A static object that allocates while it is constructed, as the program's
// own static objects do: the shared state must exist by then, or the block
// comes from the process heap instead of a page.
struct StaticUser {
  StaticUser() : block(DMemAlloc(24)) {}
  ~StaticUser() { DMemFree(block); }
  void* block;
} g_static_user;

}  // namespace

TEST(DMemTest, SharedStateIsSetUpBeforeStaticObjects) {
  ASSERT_NE(g_static_user.block, nullptr);
  EXPECT_EQ(Tier(g_static_user.block), 1);
  EXPECT_NE(g_shared, nullptr);
}

TEST(DMemTest, EachSmallSizeGetsAnAlignedBlockOfAClassThatHoldsIt) {
  std::vector<void*> blocks;
  for (size_t n = 1; n <= kSmallLimit; ++n) {
    SCOPED_TRACE(n);
    ASSERT_GE(g_shared->class_size[ClassOf(n)], n);
    void* p = DMemAlloc(n);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
    Fill(p, n, uint8_t(n));
    blocks.push_back(p);
  }
  for (size_t n = 1; n <= kSmallLimit; ++n) {
    EXPECT_TRUE(Holds(blocks[n - 1], n, uint8_t(n))) << n;
    DMemFree(blocks[n - 1]);
  }
}

TEST(DMemTest, ResizingKeepsTheBytesAcrossTiers) {
  EXPECT_EQ(DMemAlloc(0), nullptr);
  EXPECT_EQ(DMemAlloc(0x80000000u), nullptr);
  DMemFree(nullptr);
  // New blocks (from 0) and blocks that move between the small pages, the
  // process heap and regions. Resize keeps a block with little slack in
  // place (up to 1 KiB on the process heap, any in a region); small blocks
  // always move.
  const struct {
    bool resize;
    size_t from, to;
    bool stays;
  } cases[] = {
      {false, 0, 1052, false},        {false, 0, 1053, false},   {false, 0, 1048561, false},
      {false, 1000, 2000, false},     {false, 2000, 500, false}, {false, 2000, 3 << 20, false},
      {false, 3 << 20, 100, false},   {true, 4096, 3500, true},  {true, 4096, 3000, false},
      {true, 2 << 20, 1200000, true}, {true, 100, 90, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " to " << c.to << (c.resize ? " resized" : ""));
    void* p = c.from ? DMemAlloc(c.from) : nullptr;
    ASSERT_EQ(p == nullptr, c.from == 0);
    uint32_t usable = p && Tier(p) > 1 ? HeaderSize(p) : 0;
    Fill(p, std::min(c.from, c.to), 9);
    void* q = c.resize ? DMemResize(p, c.to) : DMemRealloc(p, c.to);
    ASSERT_NE(q, nullptr);
    EXPECT_TRUE(!c.stays || (q == p && HeaderSize(q) == usable));
    EXPECT_TRUE(Holds(q, std::min(c.from, c.to), 9));
    // Too large: fails and leaves the block.
    Fill(q, c.to, 3);
    EXPECT_EQ(DMemRealloc(q, size_t(0x80000000u)), nullptr);
    EXPECT_TRUE(Holds(q, c.to, 3));
    DMemFree(q);
  }
}

TEST(DMemTest, RegionsGrowInStepsAndKeepTheirBytes) {
  const size_t step = 1 << 20;  // a multiple of 256: each step continues the pattern
  void* p = DMemRealloc(nullptr, step);
  ASSERT_NE(p, nullptr);
  Fill(p, step, 1);
  for (size_t total = 2 * step; total <= 24 * step; total += step) {
    p = DMemRealloc(p, total);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Tier(p), 3);
    EXPECT_GE(HeaderSize(p), total);
    Fill(static_cast<char*>(p) + total - step, step, 1);
  }
  EXPECT_TRUE(Holds(p, 24 * step, 1));
  // And shrink in place.
  p = DMemRealloc(p, 3 * step);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(Holds(p, 3 * step, 1));
  DMemFree(p);
}

// A full page sends the next block elsewhere; chunks whose pages emptied go
// back to the system.
TEST(DMemTest, AFullPageSendsBlocksElsewhereAndEmptiedChunksGoBack) {
  std::thread([] {
    // The largest class: few blocks per page.
    std::vector<void*> blocks{DMemAlloc(1052)};
    ASSERT_NE(blocks[0], nullptr);
    DMemPage* page = PageOf(blocks[0]);
    while (blocks.size() <= page->capacity) blocks.push_back(DMemAlloc(1052));
    EXPECT_NE(PageOf(blocks.back()), page);
    for (void* p : blocks) DMemFree(p);

    // Three chunks' worth of pages, filled and emptied.
    blocks.clear();
    for (uint32_t i = 0; i < 24 * page->capacity; ++i) blocks.push_back(DMemAlloc(1052));
    uint32_t live = __atomic_load_n(&g_shared->live_chunks, __ATOMIC_RELAXED);
    for (void* p : blocks) DMemFree(p);
    EXPECT_LT(__atomic_load_n(&g_shared->live_chunks, __ATOMIC_RELAXED), live);
  }).join();
}

TEST(DMemThreadsTest, ABlockFreedElsewhereGoesBackToItsPage) {
  void* keep = DMemAlloc(200);
  void* block = DMemAlloc(200);
  ASSERT_NE(block, nullptr);
  DMemHeap* heap = OwnerOf(block);
  EXPECT_EQ(heap, RegisteredHeap(dmem_os::CurrentThreadId()));
  EXPECT_EQ(heap->owner_thread, dmem_os::CurrentThreadId());
  DMemPage* page = PageOf(block);
  uint32_t before = FreeCount(page);
  std::thread([block] { DMemFree(block); }).join();
  EXPECT_EQ(FreeCount(page), before + 1);
  EXPECT_EQ(OwnerOf(keep), heap);
  // The owner hands the same block out again.
  EXPECT_EQ(DMemAlloc(200), block);
  DMemFree(block);
  DMemFree(keep);
}

TEST(DMemThreadsTest, AnEndedThreadsPagesGoToThePoolAndThenToANewThread) {
  void* block = nullptr;
  uint32_t id = 0;
  std::thread([&] {
    id = dmem_os::CurrentThreadId();
    block = DMemAlloc(300);
    EXPECT_NE(DMemAlloc(300), nullptr);  // keeps the page in use after the thread ends
    EXPECT_NE(RegisteredHeap(id), nullptr);
  }).join();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(RegisteredHeap(id), nullptr);
  EXPECT_EQ(OwnerOf(block), g_shared->pool);
  DMemPage* page = PageOf(block);
  uint32_t before = FreeCount(page);
  std::memset(block, 0xEE, 300);
  DMemFree(block);
  EXPECT_EQ(FreeCount(page), before + 1);

  DMemHeap* pool = g_shared->pool;
  bool pool_has_page = pool->classes[ClassOf(300)] != nullptr;
  std::thread([&] {
    block = DMemAlloc(300);
    EXPECT_EQ(OwnerOf(block), RegisteredHeap(dmem_os::CurrentThreadId()));
    EXPECT_TRUE(!pool_has_page || pool->classes[ClassOf(300)] == nullptr);
  }).join();
  DMemFree(block);
}

TEST(DMemThreadsTest, TheRegistryGrowsBeyondItsFirstBlock) {
  constexpr int kThreads = 300;
  std::vector<void*> blocks(kThreads);
  std::vector<uint32_t> ids(kThreads);
  std::atomic<int> set{0};
  std::mutex gate;  // held while the threads must stay
  gate.lock();
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      blocks[i] = DMemAlloc(16);
      ids[i] = dmem_os::CurrentThreadId();
      ++set;
      std::lock_guard<std::mutex> wait(gate);
    });
  }
  while (set < kThreads) std::this_thread::yield();
  EXPECT_NE(g_shared->registry.next, nullptr);
  for (int i = 0; i < kThreads; ++i) {
    ASSERT_NE(blocks[i], nullptr);
    EXPECT_EQ(RegisteredHeap(ids[i]), OwnerOf(blocks[i])) << i;
    DMemFree(blocks[i]);
  }
  gate.unlock();
  for (int i = 0; i < kThreads; ++i) {
    threads[i].join();
    EXPECT_EQ(RegisteredHeap(ids[i]), nullptr) << i;
  }
}

TEST(DMemThreadsTest, StressWithPatterns) {
  constexpr int kThreads = 6, kRounds = 4, kSteps = 6000;
  std::mutex exchange_mutex;
  std::vector<std::pair<unsigned char*, size_t>> exchange;
  std::atomic<int> corrupted{0};

  // Each block's pattern starts from its address and size.
  auto pattern = [](const void* p, size_t n) { return uint8_t((uintptr_t(p) >> 4) + n); };
  // Checks the block's pattern and frees it.
  auto release = [&](const std::pair<unsigned char*, size_t>& block) {
    if (!Holds(block.first, block.second, pattern(block.first, block.second))) ++corrupted;
    DMemFree(block.first);
  };
  auto worker = [&](unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::pair<unsigned char*, size_t>> mine;
    for (int step = 0; step < kSteps; ++step) {
      unsigned action = random() % 8;
      if (action < 4 || mine.empty()) {
        size_t n = random() % 16 == 0 ? 1053 + random() % 5000 : 1 + random() % 1052;
        auto* p = static_cast<unsigned char*>(DMemAlloc(n));
        if (p == nullptr) {
          ++corrupted;
          continue;
        }
        Fill(p, n, pattern(p, n));
        mine.emplace_back(p, n);
      } else if (action < 6) {
        size_t at = random() % mine.size();
        release(mine[at]);
        mine[at] = mine.back();
        mine.pop_back();
      } else if (action == 6) {
        std::lock_guard<std::mutex> lock(exchange_mutex);
        exchange.push_back(mine.back());
        mine.pop_back();
      } else {
        std::unique_lock<std::mutex> lock(exchange_mutex);
        if (exchange.empty()) continue;
        auto taken = exchange.back();
        exchange.pop_back();
        lock.unlock();
        release(taken);
      }
    }
    // Half of what is left outlives the thread, freed by others.
    std::lock_guard<std::mutex> lock(exchange_mutex);
    for (size_t i = 0; i < mine.size(); ++i) {
      if (i % 2)
        exchange.push_back(mine[i]);
      else
        release(mine[i]);
    }
  };
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, unsigned(round * 100 + t));
    for (auto& t : threads) t.join();
  }
  for (const auto& block : exchange) release(block);
  EXPECT_EQ(corrupted.load(), 0);
}
