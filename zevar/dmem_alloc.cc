// The allocator's entry points: the tier by size, the heap tier (8-byte
// header, sizes rounded to 16) and the virtual tier (a region per block).
#include <cstring>

#include "zevar/dmem.h"
#include "zevar/dmem_layout.h"

namespace dmem {
namespace {

struct BigHeader {
  uint32_t usable;
  uint16_t marker;
  uint16_t tier;
};
static_assert(sizeof(BigHeader) == 8, "header");

// Set up before other static objects and torn down after them, so that the
// buffers of static objects come and go while the shared state exists.
struct Lifetime {
  // Without the shared state (a failed start-up) no block comes from the
  // small tier: the larger tiers serve every size.
  Lifetime() { static_cast<void>(Startup()); }
  ~Lifetime() { Shutdown(); }
};
Lifetime g_lifetime __attribute__((init_priority(101)));

constexpr size_t Round16(size_t n) { return (n + 15) & ~size_t(15); }
constexpr size_t RegionFor(size_t n) { return (Round16(n) + 8 + kRegionUnit - 1) & ~(kRegionUnit - 1); }
// Room kept after a region that had to move to grow, so that it can grow on
// in place; bounded to spare a 32-bit address space.
constexpr size_t kMaxGrowthSlack = size_t(64) << 20;

BigHeader* HeaderOf(void* block) { return static_cast<BigHeader*>(block) - 1; }

void* Stamp(void* base, size_t usable, uint16_t tier) {
  auto* header = static_cast<BigHeader*>(base);
  header->usable = uint32_t(usable);
  header->marker = kMarker;
  header->tier = tier;
  return header + 1;
}

void* HeapTierAlloc(size_t n) {
  size_t rounded = Round16(n);
  void* base = dmem_os::HeapGet(rounded + 8);
  return base ? Stamp(base, rounded, kTierHeap) : nullptr;
}

void* VirtualTierAlloc(size_t n, size_t reserve) {
  size_t region = RegionFor(n);
  void* base = dmem_os::RegionAlloc(region, reserve > region ? reserve : region);
  return base ? Stamp(base, region - 8, kTierVirtual) : nullptr;
}

uint16_t TierOf(const void* block) {
  return TierWord(block) == kMarker ? static_cast<const uint16_t*>(block)[-1] : kTierSmall;
}

size_t UsableOf(void* block) {
  return TierOf(block) == kTierSmall ? SmallUsable(block) : HeaderOf(block)->usable;
}

void* Move(void* block, size_t n) {
  void* fresh = DMemAlloc(n);
  if (fresh == nullptr) return nullptr;
  size_t old = UsableOf(block);
  std::memcpy(fresh, block, old < n ? old : n);
  DMemFree(block);
  return fresh;
}

void* HeapTierResize(void* block, size_t n) {
  size_t rounded = Round16(n);
  void* base = dmem_os::HeapResize(HeaderOf(block), rounded + 8);
  return base ? Stamp(base, rounded, kTierHeap) : nullptr;
}

// Grows or shrinks the region without copying where the system can, else
// moves it to a new region with room to grow on.
void* VirtualTierResize(void* block, size_t n) {
  size_t old_region = HeaderOf(block)->usable + size_t(8);
  size_t region = RegionFor(n);
  if (region == old_region) return block;
  if (void* base = dmem_os::RegionResize(HeaderOf(block), old_region, region))
    return Stamp(base, region - 8, kTierVirtual);
  size_t slack = region < kMaxGrowthSlack ? region : kMaxGrowthSlack;
  void* fresh = VirtualTierAlloc(n, region > old_region ? region + slack : region);
  if (fresh == nullptr) return nullptr;
  size_t old = old_region - 8;
  std::memcpy(fresh, block, old < n ? old : n);
  DMemFree(block);
  return fresh;
}

uint16_t TierFor(size_t n) {
  if (n <= kSmallLimit && g_shared) return kTierSmall;
  return Round16(n) < kHeapTierLimit ? kTierHeap : kTierVirtual;
}

void* Reallocate(void* block, size_t n, bool keep_slack) {
  if (block == nullptr) return DMemAlloc(n);
  if (n > kLargestRequest) return nullptr;
  if (n == 0) n = 1;  // keeps the block alive
  uint16_t old_tier = TierOf(block);
  if (old_tier == kTierSmall) return Move(block, n);
  size_t old = HeaderOf(block)->usable;
  if (keep_slack && old >= n && old - n <= (old_tier == kTierHeap ? 1024u : 0x10000u)) return block;
  // Tiers 2 and 3 do not turn small when they shrink.
  uint16_t tier = Round16(n) < kHeapTierLimit ? kTierHeap : kTierVirtual;
  if (tier != old_tier) return Move(block, n);
  if (tier == kTierHeap) return HeapTierResize(block, n);
  if (keep_slack && Round16(n) + 8 <= old + 8) return block;
  return VirtualTierResize(block, n);
}

}  // namespace
}  // namespace dmem

using namespace dmem;

void* DMemAlloc(size_t size) {
  if (size == 0 || size > kLargestRequest) return nullptr;
  switch (TierFor(size)) {
    case kTierSmall: return SmallAlloc(size);
    case kTierHeap: return HeapTierAlloc(size);
    default: return VirtualTierAlloc(size, 0);
  }
}

void* DMemRealloc(void* block, size_t size) { return Reallocate(block, size, false); }

void* DMemResize(void* block, size_t size) { return Reallocate(block, size, true); }

void DMemFree(void* block) {
  if (block == nullptr) return;
  switch (TierOf(block)) {
    case kTierSmall: return SmallFree(block);
    case kTierHeap: return dmem_os::HeapPut(HeaderOf(block));
    default: return dmem_os::RegionFree(HeaderOf(block), HeaderOf(block)->usable + size_t(8));
  }
}
