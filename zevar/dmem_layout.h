// The allocator's records and constants, shared by its parts and its tests.
//
// Small blocks (up to 1052 bytes) live in 64 KiB pages of 512 KiB chunks kept
// per thread; larger ones go to the process heap (tier 2) or to their own
// virtual-memory regions (tier 3). The 16-bit word four bytes before a block
// tells the tiers apart: 0xFFFF for tiers 2 and 3, anything else for a small
// block, whose page is found by masking the block's address.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zevar/dmem_os.h"

namespace dmem {

constexpr size_t kLargestRequest = 0x7FFFFFFF;
constexpr size_t kSmallLimit = 1052;
constexpr unsigned kClassCount = 47;
constexpr size_t kPageBytes = 0x10000;
constexpr size_t kChunkBytes = 0x80000;
constexpr uint32_t kPagesPerChunk = 8;
constexpr size_t kHeapTierLimit = 0xFFFF9;  // rounded sizes below this use the process heap
constexpr size_t kRegionUnit = 0x10000;
constexpr uint32_t kKeepFreePages = 16;  // chunks go back only above this many free pages
constexpr unsigned kHeapSpinCount = 128;
constexpr uint16_t kMarker = 0xFFFF;
constexpr uint16_t kTierSmall = 1, kTierHeap = 2, kTierVirtual = 3;
constexpr size_t kRegistryBlockBytes = 65528;
constexpr uint32_t kFirstRegistryCapacity = 256;

enum PageList : uint16_t { kListFull = 0, kListClass = 1, kListFree = 2 };

struct DMemHeap;

struct DMemPage {
  DMemHeap* owner;  // atomic: read without a lock by freeing threads
  DMemPage* next;
  DMemPage* prev;
  uint32_t state;  // atomic: free-list head offset << 16 | free blocks
  uint16_t capacity;
  uint16_t carved;
  uint16_t threshold;
  uint16_t stride;
  uint16_t index;
  uint16_t size_class;
  uint16_t list;  // PageList; atomic
  uint16_t reserved[3];
};
static_assert(sizeof(DMemPage) == (sizeof(void*) == 4 ? 36 : 48), "page header");

// Follows the first page's header.
struct DMemChunk {
  DMemChunk* next;
  DMemChunk* prev;
  uint32_t pages_initialised;
  uint32_t free_pages;
};

struct DMemHeap {
  DMemPage* classes[kClassCount];
  DMemPage* full_pages;
  DMemChunk* chunks_with_free;  // ascending free pages
  DMemChunk* full_chunks;
  uint32_t free_pages;
  dmem_os::Lock lock;
  uint32_t owner_thread;  // 0 for the pool
  uint32_t refs;          // atomic
};

struct DMemRegistryBlock {
  DMemRegistryBlock* next;
  uint32_t capacity;
  uint32_t used;
  DMemHeap** heaps;
  // `capacity` thread ids follow, ascending; then the heap pointers.
  uint32_t* ids() { return reinterpret_cast<uint32_t*>(this + 1); }
};

// The section shared by the modules of a process; its layout is fixed.
struct DMemShared {
  void* view;
  uintptr_t mapping;
  DMemHeap* pool;
  uint16_t class_size[48];
  uint32_t size_class[264];  // [size / 4]; [0] unused
  uint32_t modules;
  uint32_t live_chunks;  // atomic
  DMemRegistryBlock registry;
  uint32_t registry_ids[kFirstRegistryCapacity];
  DMemHeap* registry_heaps[kFirstRegistryCapacity];
};
#if UINTPTR_MAX == 0xFFFFFFFF
static_assert(sizeof(DMemShared) == 3236, "shared section");
static_assert(offsetof(DMemShared, class_size) == 3 * 4, "shared section");
static_assert(offsetof(DMemShared, size_class) == 27 * 4, "shared section");
static_assert(offsetof(DMemShared, modules) == 291 * 4, "shared section");
static_assert(offsetof(DMemShared, registry) == 293 * 4, "shared section");
static_assert(offsetof(DMemShared, registry_ids) == 297 * 4, "shared section");
static_assert(offsetof(DMemShared, registry_heaps) == 553 * 4, "shared section");
#endif

// First user pointer of a page: after the page header (and the chunk
// descriptor on a chunk's first page) and the block's 4-byte header, 8-aligned.
constexpr uint32_t AlignUser(size_t header) { return uint32_t((header + 4 + 7) & ~size_t(7)); }
constexpr uint32_t kFirstUser = AlignUser(sizeof(DMemPage));
constexpr uint32_t kFirstUserOnChunk = AlignUser(sizeof(DMemPage) + sizeof(DMemChunk));
static_assert(sizeof(void*) != 4 || (kFirstUser == 40 && kFirstUserOnChunk == 56), "offsets");

inline DMemPage* PageOf(const void* block) {
  return reinterpret_cast<DMemPage*>(reinterpret_cast<uintptr_t>(block) & ~uintptr_t(kPageBytes - 1));
}
inline uint16_t TierWord(const void* block) {
  return static_cast<const uint16_t*>(block)[-2];
}

// The shared state; null when it could not be set up (then every request
// goes to tiers 2 and 3).
extern DMemShared* g_shared;

inline uint32_t ClassOf(size_t size) { return g_shared->size_class[(size + 3) >> 2]; }

[[nodiscard]] bool Startup();
void Shutdown();

// The calling thread's heap, made on first use; null if none can be had.
DMemHeap* MakeThreadHeap();
inline DMemHeap* ThreadHeap() {
  if (auto* heap = static_cast<DMemHeap*>(dmem_os::ThreadSlotGet())) return heap;
  return MakeThreadHeap();
}
void ReleaseHeap(DMemHeap* heap);
// Takes the registry entry out; the pool's lock is held.
void ForgetHeap(DMemHeap* heap);

void* SmallAlloc(size_t size);
void SmallFree(void* block);
size_t SmallUsable(const void* block);
// Hands a heap whose last reference went to the pool; the pool's lock is held.
void MergeIntoPool(DMemHeap* heap);
// Returns every chunk of the pool to the system (process end).
void ReleasePoolChunks(DMemHeap* pool);

}  // namespace dmem
