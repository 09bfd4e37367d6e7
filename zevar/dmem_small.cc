// The small tier: pages of one size class carved into blocks, popped under
// the owning heap's lock and pushed back by compare-and-swap, so that the
// owning thread frees without a lock unless a page changes lists.
#include <cstring>

#include "zevar/dmem_layout.h"

namespace dmem {
namespace {

template <typename T>
T Load(const T& field) { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
template <typename T>
void Store(T& field, T value) { __atomic_store_n(&field, value, __ATOMIC_RELEASE); }
inline bool Swap(uint32_t& field, uint32_t& expected, uint32_t value) {
  return __atomic_compare_exchange_n(&field, &expected, value, true, __ATOMIC_ACQ_REL,
                                     __ATOMIC_ACQUIRE);
}

inline uint16_t& LinkOf(void* block) { return static_cast<uint16_t*>(block)[-1]; }
inline char* ChunkBase(DMemChunk* chunk) { return reinterpret_cast<char*>(chunk) - sizeof(DMemPage); }
inline DMemPage* PageAt(DMemChunk* chunk, uint32_t index) {
  return reinterpret_cast<DMemPage*>(ChunkBase(chunk) + index * kPageBytes);
}
inline DMemChunk* ChunkOf(DMemPage* page) {
  return reinterpret_cast<DMemChunk*>(reinterpret_cast<char*>(page) - page->index * kPageBytes +
                                      sizeof(DMemPage));
}
inline uint32_t FirstUser(const DMemPage* page) {
  return page->index == 0 ? kFirstUserOnChunk : kFirstUser;
}

// Page lists (a class list or the full list).
DMemPage** ListOf(DMemHeap* heap, DMemPage* page) {
  return page->list == kListFull ? &heap->full_pages : &heap->classes[page->size_class];
}
// List heads are read without the lock by the owner's frees.
void PushPage(DMemPage** head, DMemPage* page) {
  page->prev = nullptr;
  page->next = *head;
  if (*head) (*head)->prev = page;
  Store(*head, page);
}
void UnlinkPage(DMemPage** head, DMemPage* page) {
  if (page->prev) page->prev->next = page->next; else Store(*head, page->next);
  if (page->next) page->next->prev = page->prev;
  page->next = page->prev = nullptr;
}

// Chunk lists.
void PushChunk(DMemChunk** head, DMemChunk* chunk) {
  chunk->prev = nullptr;
  chunk->next = *head;
  if (*head) (*head)->prev = chunk;
  *head = chunk;
}
void UnlinkChunk(DMemChunk** head, DMemChunk* chunk) {
  if (chunk->prev) chunk->prev->next = chunk->next; else *head = chunk->next;
  if (chunk->next) chunk->next->prev = chunk->prev;
  chunk->next = chunk->prev = nullptr;
}
DMemChunk** ChunkListOf(DMemHeap* heap, DMemChunk* chunk) {
  return chunk->free_pages ? &heap->chunks_with_free : &heap->full_chunks;
}
// Into the with-free list, keeping it in ascending order of free pages.
void InsertSorted(DMemHeap* heap, DMemChunk* chunk) {
  DMemChunk* before = nullptr;
  for (DMemChunk* c = heap->chunks_with_free; c && c->free_pages < chunk->free_pages; c = c->next) before = c;
  if (before == nullptr) return PushChunk(&heap->chunks_with_free, chunk);
  chunk->prev = before;
  chunk->next = before->next;
  if (before->next) before->next->prev = chunk;
  before->next = chunk;
}

void ReleaseChunk(DMemHeap* heap, DMemChunk* chunk) {
  UnlinkChunk(&heap->chunks_with_free, chunk);
  heap->free_pages -= kPagesPerChunk;
  __atomic_fetch_sub(&g_shared->live_chunks, 1, __ATOMIC_RELAXED);
  dmem_os::ChunkRelease(ChunkBase(chunk));
}

bool NewChunk(DMemHeap* heap) {
  char* base = static_cast<char*>(dmem_os::ChunkReserve());
  if (base == nullptr) return false;
  auto* first = reinterpret_cast<DMemPage*>(base);
  std::memset(first, 0, sizeof(DMemPage) + sizeof(DMemChunk));
  Store(first->owner, heap);
  Store(first->list, uint16_t(kListFree));
  auto* chunk = reinterpret_cast<DMemChunk*>(first + 1);
  chunk->pages_initialised = 1;
  chunk->free_pages = kPagesPerChunk;
  InsertSorted(heap, chunk);
  heap->free_pages += kPagesPerChunk;
  __atomic_fetch_add(&g_shared->live_chunks, 1, __ATOMIC_RELAXED);
  return true;
}

void InitPage(DMemHeap* heap, DMemPage* page, uint32_t size_class) {
  uint32_t size = g_shared->class_size[size_class];
  page->stride = uint16_t(size + 4);
  page->capacity = uint16_t((kPageBytes - (FirstUser(page) - 4)) / page->stride);
  page->carved = 0;
  page->threshold = uint16_t(size > 512 ? (size + 4095) / size : 8);
  page->size_class = uint16_t(size_class);
  Store(page->state, uint32_t(page->capacity));
  Store(page->list, uint16_t(kListClass));
  PushPage(&heap->classes[size_class], page);
}

// A page of the heap's first chunk with free pages, set up for the class.
DMemPage* TakePage(DMemHeap* heap, uint32_t size_class) {
  DMemChunk* chunk = heap->chunks_with_free;
  DMemPage* page;
  if (chunk->free_pages + chunk->pages_initialised == kPagesPerChunk) {
    uint32_t index = chunk->pages_initialised++;
    page = PageAt(chunk, index);
    page->index = uint16_t(index);
    Store(page->owner, Load(PageAt(chunk, 0)->owner));
  } else {
    // More pages are free than are left to set up: one set up is free.
    uint32_t i = 0;
    while (PageAt(chunk, i)->list != kListFree) ++i;
    page = PageAt(chunk, i);
  }
  if (--chunk->free_pages == 0) {
    UnlinkChunk(&heap->chunks_with_free, chunk);
    PushChunk(&heap->full_chunks, chunk);
  }
  --heap->free_pages;
  InitPage(heap, page, size_class);
  return page;
}

void PushClassPage(DMemHeap* heap, DMemPage* page);

// Moves a whole chunk of the pool, pages and all, to `heap`. Both locks held.
void AdoptChunk(DMemHeap* heap, DMemHeap* pool, DMemChunk* chunk) {
  UnlinkChunk(ChunkListOf(pool, chunk), chunk);
  pool->free_pages -= chunk->free_pages;
  for (uint32_t i = 0; i < chunk->pages_initialised; ++i) {
    DMemPage* page = PageAt(chunk, i);
    if (page->list != kListFree) {
      UnlinkPage(ListOf(pool, page), page);
      if (page->list == kListClass) PushClassPage(heap, page); else PushPage(&heap->full_pages, page);
    }
    Store(page->owner, heap);
  }
  if (chunk->free_pages) InsertSorted(heap, chunk); else PushChunk(&heap->full_chunks, chunk);
  heap->free_pages += chunk->free_pages;
}

// The heap has no page for the class and no chunk with free pages: adopt a
// chunk of the pool or reserve a new one. The heap's lock is held on entry and
// on return; false when nothing can be had.
bool Replenish(DMemHeap* heap, uint32_t size_class) {
  DMemHeap* pool = g_shared->pool;
  dmem_os::LockLeave(&heap->lock);
  dmem_os::LockEnter(&pool->lock);
  dmem_os::LockEnter(&heap->lock);
  bool ok = true;
  if (heap->classes[size_class] == nullptr && heap->chunks_with_free == nullptr) {
    if (DMemPage* page = pool->classes[size_class]) {
      AdoptChunk(heap, pool, ChunkOf(page));
    } else if (pool->chunks_with_free) {
      AdoptChunk(heap, pool, pool->chunks_with_free);
    } else {
      ok = NewChunk(heap);
    }
  }
  dmem_os::LockLeave(&pool->lock);
  return ok;
}

// Pop and FreeInto are the whole of the common path: kept inline in it.
#define DMEM_HOT inline __attribute__((always_inline))

DMEM_HOT void* Pop(DMemPage* page, uint32_t* left) {
  uint32_t state = Load(page->state);
  for (;;) {
    uint32_t head = state >> 16, count = state & 0xFFFF;
    if (head) {
      char* block = reinterpret_cast<char*>(page) + head;
      uint32_t next = LinkOf(block);
      if (Swap(page->state, state, next << 16 | (count - 1))) {
        *left = count - 1;
        return block;
      }
    } else if (Swap(page->state, state, count - 1)) {
      char* block =
          reinterpret_cast<char*>(page) + FirstUser(page) + size_t(page->stride) * page->carved++;
      std::memset(block - 4, 0, 4);
      *left = count - 1;
      return block;
    }
  }
}

// A page that holds no block leaves its list; its chunk may go back.
void MakePageFree(DMemHeap* heap, DMemPage* page) {
  UnlinkPage(ListOf(heap, page), page);
  Store(page->list, uint16_t(kListFree));
  DMemChunk* chunk = ChunkOf(page);
  ++heap->free_pages;
  if (chunk->free_pages == 0) {
    UnlinkChunk(&heap->full_chunks, chunk);
    chunk->free_pages = 1;
    PushChunk(&heap->chunks_with_free, chunk);
    if (heap->free_pages >= kKeepFreePages) {
      for (DMemChunk* c = chunk->next; c; c = c->next) {
        if (c->free_pages == kPagesPerChunk) {
          ReleaseChunk(heap, c);
          break;
        }
      }
    }
    return;
  }
  ++chunk->free_pages;
  if (chunk->free_pages == kPagesPerChunk && heap->free_pages >= kKeepFreePages) {
    ReleaseChunk(heap, chunk);
    return;
  }
  if (chunk->next && chunk->next->free_pages < chunk->free_pages) {
    UnlinkChunk(&heap->chunks_with_free, chunk);
    InsertSorted(heap, chunk);
  }
}

// An emptied page at the head of its class list stays there: handing it back
// at once would make alternating allocations and frees give back chunks and
// fault in fresh ones.
// The pool allocates nothing and keeps none.
inline bool KeepsEmptyPage(DMemHeap* heap, DMemPage* page) {
  return heap->owner_thread != 0 && Load(page->list) == kListClass &&
         Load(heap->classes[page->size_class]) == page;
}

// Onto the head of its class list; an empty page kept there gives way.
void PushClassPage(DMemHeap* heap, DMemPage* page) {
  DMemPage* head = heap->classes[page->size_class];
  if (head && (Load(head->state) & 0xFFFF) == head->capacity) MakePageFree(heap, head);
  PushPage(&heap->classes[page->size_class], page);
}


// Pushes the block back on its page. `locked`: the heap's lock is held.
DMEM_HOT void FreeInto(DMemHeap* heap, DMemPage* page, void* block, bool locked) {
  uint32_t offset = uint32_t(static_cast<char*>(block) - reinterpret_cast<char*>(page));
  bool took_lock = false;
  uint32_t state = Load(page->state);
  uint32_t count;
  for (;;) {
    count = (state & 0xFFFF) + 1;
    if (!locked) {
      uint16_t list = Load(page->list);
      bool quiet = count < page->capacity ? list == kListClass || count < page->threshold
                                          : KeepsEmptyPage(heap, page);
      if (!quiet) {
        dmem_os::LockEnter(&heap->lock);
        locked = took_lock = true;
        state = Load(page->state);
        continue;
      }
    }
    LinkOf(block) = uint16_t(state >> 16);
    if (Swap(page->state, state, offset << 16 | count)) break;
  }
  if (!locked) return;
  if (count == page->capacity) {
    if (!KeepsEmptyPage(heap, page)) MakePageFree(heap, page);
  } else if (page->list == kListFull && count >= page->threshold) {
    UnlinkPage(&heap->full_pages, page);
    Store(page->list, uint16_t(kListClass));
    PushClassPage(heap, page);
  }
  if (took_lock) dmem_os::LockLeave(&heap->lock);
}

}  // namespace

void* SmallAlloc(size_t size) {
  DMemHeap* heap = ThreadHeap();
  if (heap == nullptr) return nullptr;
  uint32_t size_class = ClassOf(size);
  dmem_os::LockEnter(&heap->lock);
  DMemPage* page;
  for (;;) {
    page = heap->classes[size_class];
    if (page) break;
    if (heap->chunks_with_free) {
      page = TakePage(heap, size_class);
      break;
    }
    if (!Replenish(heap, size_class)) {
      dmem_os::LockLeave(&heap->lock);
      return nullptr;
    }
  }
  uint32_t left;
  void* block = Pop(page, &left);
  if (left == 0) {
    UnlinkPage(&heap->classes[size_class], page);
    Store(page->list, uint16_t(kListFull));
    PushPage(&heap->full_pages, page);
  }
  dmem_os::LockLeave(&heap->lock);
  return block;
}

void SmallFree(void* block) {
  DMemPage* page = PageOf(block);
  auto* mine = static_cast<DMemHeap*>(dmem_os::ThreadSlotGet());
  if (mine && __atomic_load_n(&page->owner, __ATOMIC_RELAXED) == mine) {
    FreeInto(mine, page, block, false);
    return;
  }
  DMemHeap* pool = g_shared->pool;
  dmem_os::LockEnter(&pool->lock);
  DMemHeap* owner = Load(page->owner);
  if (owner == pool) {
    FreeInto(pool, page, block, true);
    dmem_os::LockLeave(&pool->lock);
    return;
  }
  __atomic_fetch_add(&owner->refs, 1, __ATOMIC_ACQ_REL);
  dmem_os::LockEnter(&owner->lock);
  dmem_os::LockLeave(&pool->lock);
  FreeInto(owner, page, block, true);
  dmem_os::LockLeave(&owner->lock);
  ReleaseHeap(owner);
}

size_t SmallUsable(const void* block) { return PageOf(block)->stride - 4u; }

void MergeIntoPool(DMemHeap* heap) {
  DMemHeap* pool = g_shared->pool;
  dmem_os::LockEnter(&heap->lock);
  DMemChunk* lists[2] = {heap->chunks_with_free, heap->full_chunks};
  for (DMemChunk* chunk : lists) {
    while (chunk) {
      DMemChunk* next = chunk->next;
      for (uint32_t i = 0; i < chunk->pages_initialised; ++i) {
        DMemPage* page = PageAt(chunk, i);
        Store(page->owner, pool);
        if (page->list == kListClass && (Load(page->state) & 0xFFFF) == page->capacity) {
          Store(page->list, uint16_t(kListFree));  // a class's kept empty page
          ++chunk->free_pages;
        }
        if (page->list != kListFree) PushPage(ListOf(pool, page), page);
      }
      if (chunk->free_pages == kPagesPerChunk && pool->free_pages >= kKeepFreePages) {
        __atomic_fetch_sub(&g_shared->live_chunks, 1, __ATOMIC_RELAXED);
        dmem_os::ChunkRelease(ChunkBase(chunk));
      } else if (chunk->free_pages) {
        InsertSorted(pool, chunk);
        pool->free_pages += chunk->free_pages;
      } else {
        PushChunk(&pool->full_chunks, chunk);
      }
      chunk = next;
    }
  }
  dmem_os::LockLeave(&heap->lock);
}

void ReleasePoolChunks(DMemHeap* pool) {
  DMemChunk* lists[2] = {pool->chunks_with_free, pool->full_chunks};
  for (DMemChunk* chunk : lists) {
    while (chunk) {
      DMemChunk* next = chunk->next;
      __atomic_fetch_sub(&g_shared->live_chunks, 1, __ATOMIC_RELAXED);
      dmem_os::ChunkRelease(ChunkBase(chunk));
      chunk = next;
    }
  }
  pool->chunks_with_free = pool->full_chunks = nullptr;
  pool->full_pages = nullptr;
  for (DMemPage*& head : pool->classes) head = nullptr;
  pool->free_pages = 0;
}

}  // namespace dmem
