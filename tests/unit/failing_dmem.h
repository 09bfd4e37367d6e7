// The runtime allocator of the fault tests: the C library's, except that one
// call, counted from the last FailAllocationCall, fails as if memory ran out.
#pragma once

#include <cstdint>

// Call n (from 1) of DMemAlloc and DMemRealloc fails; 0 fails none. Restarts
// the count.
void FailAllocationCall(uint64_t n);
// The calls since the count restarted.
uint64_t AllocationCalls();
