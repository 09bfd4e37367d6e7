// General-purpose backing for the allocator entry points.
#include "zevar/dmem.h"

#include <cstdlib>

namespace {
constexpr size_t kLargestRequest = 0x7FFFFFFF;
}

void* DMemAlloc(size_t size) {
  if (size == 0 || size > kLargestRequest) return nullptr;
  return std::malloc(size);
}

void* DMemRealloc(void* block, size_t size) {
  if (block == nullptr) return DMemAlloc(size);
  if (size > kLargestRequest) return nullptr;
  if (size == 0) size = 1;  // keep the block alive; realloc(p, 0) may free it
  return std::realloc(block, size);
}

void* DMemResize(void* block, size_t size) { return DMemRealloc(block, size); }

void DMemFree(void* block) { std::free(block); }
