// The state shared by the modules of a process: the section under its named
// mutex, the size-class tables, the pool heap and the thread registry that
// maps thread ids to their heaps.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zevar/dmem_layout.h"

namespace dmem {

DMemShared* g_shared;

namespace {

// The registry keeps arrays of heap pointers.
constexpr size_t kHeapPointerSize = sizeof(DMemHeap*);  // NOLINT(bugprone-sizeof-expression)

void* g_mutex;  // the named mutex, while the section is attached

[[noreturn]] void LockFailed() {
  // Ending anyway: a message that cannot be written changes nothing.
  static_cast<void>(
      std::fputs("DSCriticalSection(24): cannot initialise a critical section\n", stderr));
  std::abort();
}

DMemHeap* NewHeap(uint32_t thread) {
  auto* heap = static_cast<DMemHeap*>(dmem_os::HeapGetZeroed(sizeof(DMemHeap)));
  if (heap == nullptr) return nullptr;
  if (!dmem_os::LockInit(&heap->lock, kHeapSpinCount)) LockFailed();
  heap->owner_thread = thread;
  heap->refs = 1;
  return heap;
}

void DeleteHeap(DMemHeap* heap) {
  dmem_os::LockDelete(&heap->lock);
  dmem_os::HeapPut(heap);
}

void FillTables(DMemShared* shared) {
  for (uint32_t size = 4; size <= kSmallLimit; size += 4) {
    uint32_t c = size < 69 ? (size + 3) / 8 : size < 269 ? (size + 3) / 16 + 5 : (size + 3) / 32 + 14;
    shared->size_class[size / 4] = c;
    shared->class_size[c] = uint16_t(size);  // the largest size of the class wins
  }
}

// Index of the first id not below `id` in a block.
uint32_t LowerBound(DMemRegistryBlock* block, uint32_t id) {
  uint32_t lo = 0, hi = block->used;
  const uint32_t* ids = block->ids();
  while (lo < hi) {
    uint32_t mid = (lo + hi) / 2;
    if (ids[mid] < id) lo = mid + 1; else hi = mid;
  }
  return lo;
}

DMemHeap* LookUp(uint32_t id) {
  for (DMemRegistryBlock* b = &g_shared->registry; b; b = b->next) {
    uint32_t at = LowerBound(b, id);
    if (at < b->used && b->ids()[at] == id) return b->heaps[at];
  }
  return nullptr;
}

DMemRegistryBlock* NewRegistryBlock() {
  void* region = dmem_os::RegionAlloc(kRegionUnit, kRegionUnit);
  if (region == nullptr) return nullptr;
  auto* block = static_cast<DMemRegistryBlock*>(region);
  block->capacity = uint32_t((kRegistryBlockBytes - sizeof(DMemRegistryBlock)) /
                             (sizeof(uint32_t) + kHeapPointerSize));
  block->used = 0;
  block->next = nullptr;
  block->heaps = reinterpret_cast<DMemHeap**>(block->ids() + block->capacity);
  return block;
}

bool Register(uint32_t id, DMemHeap* heap) {
  DMemRegistryBlock* block = &g_shared->registry;
  while (block->used == block->capacity) {
    if (block->next == nullptr && (block->next = NewRegistryBlock()) == nullptr) return false;
    block = block->next;
  }
  uint32_t at = LowerBound(block, id);
  uint32_t* ids = block->ids();
  std::memmove(ids + at + 1, ids + at, (block->used - at) * sizeof *ids);
  std::memmove(block->heaps + at + 1, block->heaps + at, (block->used - at) * kHeapPointerSize);
  ids[at] = id;
  block->heaps[at] = heap;
  ++block->used;
  return true;
}

void ThreadEnded(void* heap) {
  // A thread that outlives the shared state (process end) has nothing to hand back.
  if (g_shared) ReleaseHeap(static_cast<DMemHeap*>(heap));
}

}  // namespace

void ForgetHeap(DMemHeap* heap) {
  for (DMemRegistryBlock* b = &g_shared->registry; b; b = b->next) {
    uint32_t at = LowerBound(b, heap->owner_thread);
    if (at < b->used && b->heaps[at] == heap) {
      uint32_t* ids = b->ids();
      --b->used;
      std::memmove(ids + at, ids + at + 1, (b->used - at) * sizeof *ids);
      std::memmove(b->heaps + at, b->heaps + at + 1, (b->used - at) * kHeapPointerSize);
      return;
    }
  }
}

DMemHeap* MakeThreadHeap() {
  DMemHeap* pool = g_shared->pool;
  uint32_t id = dmem_os::CurrentThreadId();
  dmem_os::LockEnter(&pool->lock);
  DMemHeap* heap = LookUp(id);
  if (heap) {
    __atomic_fetch_add(&heap->refs, 1, __ATOMIC_ACQ_REL);
  } else if ((heap = NewHeap(id)) != nullptr && !Register(id, heap)) {
    DeleteHeap(heap);
    heap = nullptr;
  }
  dmem_os::LockLeave(&pool->lock);
  if (heap && !dmem_os::ThreadSlotSet(heap)) {
    ReleaseHeap(heap);
    heap = nullptr;
  }
  return heap;
}

void ReleaseHeap(DMemHeap* heap) {
  // References are only taken under the pool's lock, so the last one is
  // given up under it too: nobody can find the heap while it is merged.
  uint32_t refs = __atomic_load_n(&heap->refs, __ATOMIC_ACQUIRE);
  while (refs > 1) {
    if (__atomic_compare_exchange_n(&heap->refs, &refs, refs - 1, true, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
      return;
  }
  DMemHeap* pool = g_shared->pool;
  dmem_os::LockEnter(&pool->lock);
  bool last = __atomic_sub_fetch(&heap->refs, 1, __ATOMIC_ACQ_REL) == 0;
  if (last) {
    ForgetHeap(heap);
    MergeIntoPool(heap);
  }
  dmem_os::LockLeave(&pool->lock);
  if (last) DeleteHeap(heap);
}

bool Startup() {
  if (!dmem_os::ThreadSlotInit(ThreadEnded)) return false;
  char name[64];
  // At most 27 characters: it always fits.
  static_cast<void>(std::snprintf(name, sizeof name, "s.zevar.mks.%s%s.%d.%d.%X", "-", "-", 2, 0,
                                  unsigned(dmem_os::ProcessId())));
  void* mutex = dmem_os::NamedMutexOpen(name);
  if (mutex == nullptr) return false;
  name[0] = 'm';
  dmem_os::NamedMutexWait(mutex);
  uintptr_t mapping = 0;
  auto* view = static_cast<DMemShared*>(dmem_os::SectionOpen(name, sizeof(DMemShared), &mapping));
  DMemShared* shared = nullptr;
  if (view && view->pool) {
    shared = static_cast<DMemShared*>(view->view);  // another module made it
    dmem_os::SectionClose(view, mapping);
  } else if (view) {
    view->view = view;
    view->mapping = mapping;
    view->registry.capacity = kFirstRegistryCapacity;
    view->registry.heaps = view->registry_heaps;
    FillTables(view);
    view->pool = NewHeap(0);
    if (view->pool) shared = view; else dmem_os::SectionClose(view, mapping);
  }
  if (shared) ++shared->modules;
  dmem_os::NamedMutexRelease(mutex);
  if (shared == nullptr) {
    dmem_os::NamedMutexClose(mutex);
    return false;
  }
  g_mutex = mutex;
  g_shared = shared;
  return true;
}

void Shutdown() {
  DMemShared* shared = g_shared;
  if (shared == nullptr) return;
  dmem_os::NamedMutexWait(g_mutex);
  if (--shared->modules == 0) {
    if (auto* heap = static_cast<DMemHeap*>(dmem_os::ThreadSlotGet())) {
      // Clearing fails only for a slot never allocated; Startup allocated it.
      static_cast<void>(dmem_os::ThreadSlotSet(nullptr));
      ReleaseHeap(heap);
    }
    ReleasePoolChunks(shared->pool);
    DeleteHeap(shared->pool);
    for (DMemRegistryBlock* b = shared->registry.next; b;) {
      DMemRegistryBlock* next = b->next;
      dmem_os::RegionFree(b, kRegionUnit);
      b = next;
    }
    g_shared = nullptr;
    dmem_os::SectionClose(shared->view, shared->mapping);
  } else {
    g_shared = nullptr;
  }
  dmem_os::NamedMutexRelease(g_mutex);
  dmem_os::NamedMutexClose(g_mutex);
  g_mutex = nullptr;
}

}  // namespace dmem
