// Stands in for zevar/dmem_system.cc in the fault tests' program: linked
// before the library, it is the one the linker takes.
#include "tests/unit/failing_dmem.h"

#include <cstdlib>

#include "zevar/dmem.h"

namespace {

uint64_t calls = 0;
uint64_t fail_at = 0;

bool FailsNow() { return ++calls == fail_at; }

}  // namespace

void FailAllocationCall(uint64_t n) {
  calls = 0;
  fail_at = n;
}

uint64_t AllocationCalls() { return calls; }

void* DMemAlloc(size_t size) {
  if (FailsNow() || size == 0 || size > 0x7FFFFFFF) return nullptr;
  return std::malloc(size);
}

void* DMemRealloc(void* block, size_t size) {
  if (!block) return DMemAlloc(size);
  if (FailsNow() || size > 0x7FFFFFFF) return nullptr;
  return std::realloc(block, size ? size : 1);
}

void* DMemResize(void* block, size_t size) { return DMemRealloc(block, size); }

void DMemFree(void* block) { std::free(block); }
