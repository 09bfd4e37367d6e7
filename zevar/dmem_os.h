// The allocator's seam to the operating system: page and region memory, the
// process heap, locks, the per-thread heap slot with its thread-end hook, and
// the named mutex and mapping that hold the state shared by the modules of a
// process. Win32 in dmem_os_win.cc, POSIX in dmem_os_posix.cc.
#pragma once

#include <cstddef>
#include <cstdint>

// The lock (Lock, LockInit, LockEnter, LockLeave, LockDelete) is inline.
#ifdef _WIN32
#include "zevar/dmem_lock_win.h"
#else
#include "zevar/dmem_lock_posix.h"
#endif

namespace dmem_os {

// Process heap: tier-2 blocks and the allocator's own records.
void* HeapGet(size_t size);
void* HeapGetZeroed(size_t size);
void* HeapResize(void* block, size_t size);  // null: failed, block untouched
void HeapPut(void* block);

// 512 KiB, 64 KiB aligned, committed read-write; null when out of memory.
void* ChunkReserve();
void ChunkRelease(void* chunk);

// A committed region of `size` bytes (a multiple of 64 KiB). Where the system
// can, `reserve` bytes of address space are held so that it may grow in place.
void* RegionAlloc(size_t size, size_t reserve);
void RegionFree(void* base, size_t size);
// Resizes without copying the bytes through the caller: the result is the
// region's (possibly new) base, or null when that is not possible.
void* RegionResize(void* base, size_t old_size, size_t new_size);

uint32_t CurrentThreadId();
uint32_t ProcessId();

// The per-thread heap pointer. `ended` runs on a thread that ends while its
// slot holds a value, after the slot was cleared.
[[nodiscard]] bool ThreadSlotInit(void (*ended)(void* value));
void* ThreadSlotGet();
[[nodiscard]] bool ThreadSlotSet(void* value);

// Named mutex, not initially owned; only the process's user may open it.
// Null on failure, or when one of that name was made by someone else.
void* NamedMutexOpen(const char* name);
void NamedMutexWait(void* mutex);
void NamedMutexRelease(void* mutex);
void NamedMutexClose(void* mutex);

// A zero-filled read-write section of `size` bytes under `name`, or the one
// that this user made already; the whole of it mapped. Null on failure.
void* SectionOpen(const char* name, size_t size, uintptr_t* mapping);
void SectionClose(void* view, uintptr_t mapping);

}  // namespace dmem_os
