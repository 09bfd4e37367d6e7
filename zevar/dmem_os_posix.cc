// The allocator's seam on POSIX systems: mmap, malloc and pthreads. One module
// per process here, so the "named" objects are process-local.
#include "zevar/dmem_os.h"

#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>

namespace dmem_os {
namespace {

constexpr size_t kChunkBytes = 0x80000;
constexpr size_t kChunkAlign = 0x10000;

__thread void* t_slot;
pthread_key_t g_slot_key;
void (*g_thread_ended)(void*);
pthread_mutex_t g_named_mutex = PTHREAD_MUTEX_INITIALIZER;

void SlotDestructor(void* value) {
  t_slot = nullptr;
  g_thread_ended(value);
}

void* MapAnonymous(size_t size) {
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

}  // namespace

void* HeapGet(size_t size) { return std::malloc(size); }
void* HeapGetZeroed(size_t size) { return std::calloc(1, size); }
void* HeapResize(void* block, size_t size) { return std::realloc(block, size); }
void HeapPut(void* block) { std::free(block); }

void* ChunkReserve() {
  // Over-map by the alignment and trim both ends.
  char* raw = static_cast<char*>(MapAnonymous(kChunkBytes + kChunkAlign));
  if (raw == nullptr) return nullptr;
  uintptr_t at = reinterpret_cast<uintptr_t>(raw);
  uintptr_t aligned = (at + kChunkAlign - 1) & ~uintptr_t(kChunkAlign - 1);
  size_t head = aligned - at;
  if (head) munmap(raw, head);
  size_t tail = kChunkAlign - head;
  if (tail) munmap(reinterpret_cast<char*>(aligned) + kChunkBytes, tail);
  return reinterpret_cast<void*>(aligned);
}

void ChunkRelease(void* chunk) { munmap(chunk, kChunkBytes); }

void* RegionAlloc(size_t size, size_t /*reserve*/) { return MapAnonymous(size); }

void RegionFree(void* base, size_t size) { munmap(base, size); }

void* RegionResize(void* base, size_t old_size, size_t new_size) {
  // The kernel moves the pages when the space after the region is taken.
  void* p = mremap(base, old_size, new_size, MREMAP_MAYMOVE);
  return p == MAP_FAILED ? nullptr : p;
}

uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }
uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

bool ThreadSlotInit(void (*ended)(void*)) {
  g_thread_ended = ended;
  return pthread_key_create(&g_slot_key, SlotDestructor) == 0;
}

void* ThreadSlotGet() { return t_slot; }

bool ThreadSlotSet(void* value) {
  if (pthread_setspecific(g_slot_key, value) != 0) return false;
  t_slot = value;
  return true;
}

void* NamedMutexOpen(const char* /*name*/) { return &g_named_mutex; }
void NamedMutexWait(void* mutex) { pthread_mutex_lock(static_cast<pthread_mutex_t*>(mutex)); }
void NamedMutexRelease(void* mutex) { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(mutex)); }
void NamedMutexClose(void* /*mutex*/) {}

void* SectionOpen(const char* /*name*/, size_t size, uintptr_t* mapping) {
  *mapping = size;
  return MapAnonymous(size);
}

void SectionClose(void* view, uintptr_t mapping) { munmap(view, mapping); }

}  // namespace dmem_os
