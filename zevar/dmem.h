// The runtime allocator's four entry points. Every buffer of the host and of
// zevar goes through these names, so the allocator behind them can change
// without touching a caller.
#pragma once

#include <cstddef>

// Null for size 0 and for sizes of 0x80000000 and above.
void* DMemAlloc(size_t size);
// Null pointer: as DMemAlloc. Sizes above 0x7FFFFFFF fail and leave the block.
void* DMemRealloc(void* block, size_t size);
// As DMemRealloc, but may keep the block where it stands when little is gained.
void* DMemResize(void* block, size_t size);
// Null is ignored.
void DMemFree(void* block);
