// Blocks freed across threads, heaps of ended threads, the thread registry,
// and a stress run of threads that allocate, free, swap blocks and end.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "zevar/dmem.h"
#include "zevar/dmem_layout.h"

using namespace dmem;

namespace {

uint32_t FreeCount(const DMemPage* page) { return __atomic_load_n(&page->state, __ATOMIC_ACQUIRE) & 0xFFFF; }
DMemHeap* OwnerOf(const void* block) { return __atomic_load_n(&PageOf(block)->owner, __ATOMIC_ACQUIRE); }

DMemHeap* RegisteredHeap(uint32_t id) {
  DMemHeap* found = nullptr;
  dmem_os::LockEnter(&g_shared->pool->lock);
  for (DMemRegistryBlock* b = &g_shared->registry; b && !found; b = b->next)
    for (uint32_t i = 0; i < b->used; ++i)
      if (b->ids()[i] == id) found = b->heaps[i];
  dmem_os::LockLeave(&g_shared->pool->lock);
  return found;
}

// A thread that allocates on request and stays until told to end.
class Holder {
 public:
  Holder() : thread_([this] { Run(); }) {}
  ~Holder() { End(); }
  void* Alloc(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    request_ = n;
    changed_.notify_all();
    changed_.wait(lock, [this] { return request_ == 0; });
    return result_;
  }
  uint32_t id() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return id_ != 0; });
    return id_;
  }
  void End() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
      changed_.notify_all();
    }
    thread_.join();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    id_ = dmem_os::CurrentThreadId();
    changed_.notify_all();
    for (;;) {
      changed_.wait(lock, [this] { return done_ || request_ != 0; });
      if (done_) return;
      result_ = DMemAlloc(request_);
      request_ = 0;
      changed_.notify_all();
    }
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t request_ = 0;
  void* result_ = nullptr;
  uint32_t id_ = 0;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

TEST(DMemThreadsTest, ABlockFreedElsewhereGoesBackToItsPage) {
  Holder holder;
  void* keep = holder.Alloc(200);
  void* block = holder.Alloc(200);
  ASSERT_NE(block, nullptr);
  DMemHeap* heap = OwnerOf(block);
  EXPECT_EQ(heap, RegisteredHeap(holder.id()));
  EXPECT_EQ(heap->owner_thread, holder.id());
  DMemPage* page = PageOf(block);
  uint32_t before = FreeCount(page);
  DMemFree(block);
  EXPECT_EQ(FreeCount(page), before + 1);
  EXPECT_EQ(OwnerOf(keep), heap);
  // The owner hands the same block out again.
  EXPECT_EQ(holder.Alloc(200), block);
  DMemFree(block);
  DMemFree(keep);
}

TEST(DMemThreadsTest, AnEndedThreadsPagesGoToThePool) {
  Holder holder;
  uint32_t id = holder.id();
  void* block = holder.Alloc(40);
  ASSERT_NE(block, nullptr);
  DMemPage* page = PageOf(block);
  EXPECT_NE(RegisteredHeap(id), nullptr);
  holder.End();
  EXPECT_EQ(RegisteredHeap(id), nullptr);
  EXPECT_EQ(OwnerOf(block), g_shared->pool);
  uint32_t before = FreeCount(page);
  std::memset(block, 0xEE, 40);
  DMemFree(block);
  // The page may have become free and its chunk gone back; if not, it counts the block.
  DMemHeap* pool = g_shared->pool;
  dmem_os::LockEnter(&pool->lock);
  bool still_used = false;
  for (DMemPage* p = pool->classes[ClassOf(40)]; p; p = p->next) still_used |= p == page;
  if (still_used) {
    EXPECT_EQ(FreeCount(page), before + 1);
  }
  dmem_os::LockLeave(&pool->lock);
}

TEST(DMemThreadsTest, ANewThreadAdoptsAChunkOfThePool) {
  {
    Holder holder;
    void* block = holder.Alloc(300);
    holder.Alloc(300);  // keeps the page in use after the thread ends
    holder.End();
    DMemFree(block);
  }
  DMemHeap* pool = g_shared->pool;
  bool pool_has_page = pool->classes[ClassOf(300)] != nullptr;
  Holder next;
  void* block = next.Alloc(300);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(OwnerOf(block), RegisteredHeap(next.id()));
  if (pool_has_page) {
    EXPECT_EQ(pool->classes[ClassOf(300)], nullptr);
  }
  DMemFree(block);
}

TEST(DMemThreadsTest, TheRegistryGrowsBeyondItsFirstBlock) {
  constexpr int kThreads = 300;
  std::vector<std::unique_ptr<Holder>> holders;
  std::vector<void*> blocks;
  for (int i = 0; i < kThreads; ++i) {
    holders.push_back(std::make_unique<Holder>());
    blocks.push_back(holders.back()->Alloc(16));
    ASSERT_NE(blocks.back(), nullptr);
  }
  EXPECT_NE(g_shared->registry.next, nullptr);
  for (int i = 0; i < kThreads; ++i)
    ASSERT_EQ(RegisteredHeap(holders[i]->id()), OwnerOf(blocks[i])) << i;
  for (void* p : blocks) DMemFree(p);
  for (int i = 0; i < kThreads; ++i) {
    uint32_t id = holders[i]->id();
    holders[i].reset();
    ASSERT_EQ(RegisteredHeap(id), nullptr);
  }
}

TEST(DMemThreadsTest, StressWithPatterns) {
  constexpr int kThreads = 6, kRounds = 4, kSteps = 6000;
  std::mutex exchange_mutex;
  std::vector<std::pair<unsigned char*, size_t>> exchange;
  std::atomic<int> corrupted{0};

  auto stamp = [](unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>((reinterpret_cast<uintptr_t>(p) >> 4) + n + i);
  };
  auto intact = [](const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
      if (p[i] != static_cast<unsigned char>((reinterpret_cast<uintptr_t>(p) >> 4) + n + i)) return false;
    return true;
  };
  // Checks the block's pattern and frees it.
  auto release = [&](const std::pair<unsigned char*, size_t>& block) {
    if (!intact(block.first, block.second)) ++corrupted;
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
        if (p == nullptr) { ++corrupted; continue; }
        stamp(p, n);
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
        std::pair<unsigned char*, size_t> taken{nullptr, 0};
        {
          std::lock_guard<std::mutex> lock(exchange_mutex);
          if (!exchange.empty()) {
            taken = exchange.back();
            exchange.pop_back();
          }
        }
        if (taken.first) release(taken);
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
