// The allocator's seam on Windows: VirtualAlloc, the process heap, a fiber-
// local slot whose callback tells of a thread's end, and the named mutex and
// page-file-backed mapping that the modules of a process share.
#include "zevar/dmem_access_win.h"
#include "zevar/dmem_os.h"

namespace dmem_os {
namespace {

constexpr size_t kChunkBytes = 0x80000;

DWORD g_slot = FLS_OUT_OF_INDEXES;
void (*g_thread_ended)(void*);

VOID WINAPI SlotEnded(PVOID value) {
  if (value == nullptr) return;
  // Later callbacks of this thread must not find the released heap.
  FlsSetValue(g_slot, nullptr);
  g_thread_ended(value);
}

HANDLE ProcessHeap() {
  static HANDLE heap = GetProcessHeap();
  return heap;
}

}  // namespace

void* HeapGet(size_t size) { return HeapAlloc(ProcessHeap(), 0, size); }
void* HeapGetZeroed(size_t size) { return HeapAlloc(ProcessHeap(), HEAP_ZERO_MEMORY, size); }
void* HeapResize(void* block, size_t size) { return HeapReAlloc(ProcessHeap(), 0, block, size); }
void HeapPut(void* block) { HeapFree(ProcessHeap(), 0, block); }

// The allocation granularity is 64 KiB: every reservation is aligned to it.
void* ChunkReserve() {
  return VirtualAlloc(nullptr, kChunkBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void ChunkRelease(void* chunk) { VirtualFree(chunk, 0, MEM_RELEASE); }

void* RegionAlloc(size_t size, size_t reserve) {
  if (reserve > size) {
    void* base = VirtualAlloc(nullptr, reserve, MEM_RESERVE, PAGE_NOACCESS);
    if (base != nullptr) {
      if (VirtualAlloc(base, size, MEM_COMMIT, PAGE_READWRITE) != nullptr) return base;
      VirtualFree(base, 0, MEM_RELEASE);
    }
  }
  return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void RegionFree(void* base, size_t /*size*/) { VirtualFree(base, 0, MEM_RELEASE); }

void* RegionResize(void* base, size_t old_size, size_t new_size) {
  char* tail = static_cast<char*>(base) + old_size;
  if (new_size <= old_size) {
    if (new_size < old_size) VirtualFree(static_cast<char*>(base) + new_size, old_size - new_size, MEM_DECOMMIT);
    return base;
  }
  // Grows only within the region's own reservation.
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(tail, &info, sizeof info) == 0) return nullptr;
  if (info.AllocationBase != base || info.State != MEM_RESERVE ||
      info.RegionSize < new_size - old_size)
    return nullptr;
  if (VirtualAlloc(tail, new_size - old_size, MEM_COMMIT, PAGE_READWRITE) == nullptr) return nullptr;
  return base;
}

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }
uint32_t ProcessId() { return GetCurrentProcessId(); }

bool ThreadSlotInit(void (*ended)(void*)) {
  g_thread_ended = ended;
  g_slot = FlsAlloc(SlotEnded);
  return g_slot != FLS_OUT_OF_INDEXES;
}

void* ThreadSlotGet() { return FlsGetValue(g_slot); }
bool ThreadSlotSet(void* value) { return FlsSetValue(g_slot, value) != 0; }

void* NamedMutexOpen(const char* name) {
  constexpr DWORD kRights = SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL;
  UserOnlyAccess access;
  if (!MakeUserOnlyAccess(kRights, &access)) return nullptr;
  SetLastError(ERROR_SUCCESS);
  HANDLE mutex = CreateMutexExA(&access.attributes, name, 0, kRights);
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS && !IsOwnObject(mutex, access)) {
    CloseHandle(mutex);
    return nullptr;
  }
  return mutex;
}

void NamedMutexWait(void* mutex) { WaitForSingleObject(mutex, INFINITE); }
void NamedMutexRelease(void* mutex) { ReleaseMutex(mutex); }
void NamedMutexClose(void* mutex) { CloseHandle(mutex); }

// Called under the named mutex: between the open and the create no other
// module of the process can make the section.
void* SectionOpen(const char* name, size_t size, uintptr_t* mapping) {
  constexpr DWORD kRights = SECTION_QUERY | SECTION_MAP_READ | SECTION_MAP_WRITE | READ_CONTROL;
  UserOnlyAccess access;
  if (!MakeUserOnlyAccess(kRights, &access)) return nullptr;
  // Opening asks only for these rights; creating asks for more, which the
  // creator of a new object is always given.
  HANDLE handle = OpenFileMappingA(kRights, FALSE, name);
  if (handle && !IsOwnObject(handle, access)) {
    CloseHandle(handle);
    return nullptr;
  }
  if (handle == nullptr) {
    SetLastError(ERROR_SUCCESS);
    handle = CreateFileMappingA(INVALID_HANDLE_VALUE, &access.attributes, PAGE_READWRITE, 0,
                                static_cast<DWORD>(size), name);
    // Made by someone else since the open: not ours.
    if (handle && GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(handle);
      return nullptr;
    }
  }
  if (handle == nullptr) return nullptr;
  void* view = MapViewOfFile(handle, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size);
  if (view == nullptr) {
    CloseHandle(handle);
    return nullptr;
  }
  *mapping = reinterpret_cast<uintptr_t>(handle);
  return view;
}

void SectionClose(void* view, uintptr_t mapping) {
  UnmapViewOfFile(view);
  CloseHandle(reinterpret_cast<HANDLE>(mapping));
}

}  // namespace dmem_os
