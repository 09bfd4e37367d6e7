// The allocator's lock on Windows: a critical section with a spin count.
#pragma once

#include <windows.h>

namespace dmem_os {

struct Lock {
  CRITICAL_SECTION section;
};
[[nodiscard]] inline bool LockInit(Lock* lock, unsigned spin) {
  return InitializeCriticalSectionAndSpinCount(&lock->section, spin) != 0;
}
inline void LockEnter(Lock* lock) { EnterCriticalSection(&lock->section); }
inline void LockLeave(Lock* lock) { LeaveCriticalSection(&lock->section); }
inline void LockDelete(Lock* lock) { DeleteCriticalSection(&lock->section); }

}  // namespace dmem_os
