// The canary that -fstack-protector-strong checks, drawn from the system's
// random generator at start. It takes the place of libssp's set-up, which
// asks CryptoAPI and so maps the crypto DLLs, and with them user32, at every
// start of the program.
#include <windows.h>
#include <ntsecapi.h>

#include <cstdint>

extern "C" {

uintptr_t __stack_chk_guard = 0;

// A smashed stack ends the process at once, as the system's own check does:
// nothing of the damaged frame may run again.
[[noreturn]] void __stack_chk_fail() {
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  __builtin_trap();
}

}  // extern "C"

namespace {

// Runs from the C runtime's constructor list, in no protected frame, before
// every constructor of default priority. Should the generator fail, the
// time, the ids and the stack's address still make a guess unlikely.
__attribute__((constructor(101), no_stack_protector)) void SetStackGuard() {
  uintptr_t guard = 0;
  if (!RtlGenRandom(&guard, sizeof guard) || guard == 0) {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    guard = uintptr_t(counter.QuadPart) ^ uintptr_t(GetTickCount64()) ^ reinterpret_cast<uintptr_t>(&counter) ^
            (uintptr_t(GetCurrentProcessId()) << 16) ^ GetCurrentThreadId();
  }
  __stack_chk_guard = guard;
}

}  // namespace
