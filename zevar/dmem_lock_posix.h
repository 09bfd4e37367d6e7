// The allocator's lock on POSIX: an adaptive mutex.
#pragma once

#include <pthread.h>

namespace dmem_os {

struct Lock {
  pthread_mutex_t mutex;
};
// Spins a while before sleeping, as a critical section with a spin count does.
[[nodiscard]] inline bool LockInit(Lock* lock, unsigned /*spin*/) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ADAPTIVE_NP);
  bool ok = pthread_mutex_init(&lock->mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  return ok;
}
inline void LockEnter(Lock* lock) { pthread_mutex_lock(&lock->mutex); }
inline void LockLeave(Lock* lock) { pthread_mutex_unlock(&lock->mutex); }
inline void LockDelete(Lock* lock) { pthread_mutex_destroy(&lock->mutex); }

}  // namespace dmem_os
