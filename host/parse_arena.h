// RapidJSON's allocator for one bounded parse: it serves from one block that
// the caller reserved up front and never hands back null. RapidJSON writes
// through what its allocator returns without looking (its stack's Resize, the
// DOM's arrays and objects), so a parse must be sized to fit its block before
// it starts; the limits in host/json_limits.h do that.
#pragma once

#include <cstddef>

class ParseArena {
 public:
  static const bool kNeedFree = false;

  ParseArena() = default;
  ParseArena(void* block, size_t size) { Use(block, size); }
  ParseArena(const ParseArena&) = delete;
  ParseArena& operator=(const ParseArena&) = delete;

  // Serves from this block from now on, from its start.
  void Use(void* block, size_t size);
  // What is left, in bytes.
  size_t Room() const { return size_t(end_ - next_); }

  void* Malloc(size_t size);
  void* Realloc(void* block, size_t old_size, size_t new_size);
  static void Free(void*) {}

 private:
  char* next_ = nullptr;
  char* end_ = nullptr;
};
