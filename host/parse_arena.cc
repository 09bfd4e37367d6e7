#include "host/parse_arena.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// RapidJSON's own alignment for what it allocates.
constexpr size_t kAlign = 8;

size_t Aligned(size_t size) { return (size + kAlign - 1) & ~(kAlign - 1); }

}  // namespace

void ParseArena::Use(void* block, size_t size) {
  uintptr_t start = reinterpret_cast<uintptr_t>(block);
  uintptr_t aligned = (start + kAlign - 1) & ~uintptr_t(kAlign - 1);
  size_t skip = aligned - start < size ? aligned - start : size;
  next_ = static_cast<char*>(block) + skip;
  end_ = static_cast<char*>(block) + size;
}

void* ParseArena::Malloc(size_t size) {
  if (size == 0) return nullptr;  // RapidJSON never writes through a block of 0
  size_t rounded = Aligned(size);
  // The parse's limits keep every request within the block. Should that ever
  // fail, stopping here beats handing RapidJSON a null it would write through.
  if (rounded < size || rounded > Room()) std::abort();
  void* block = next_;
  next_ += rounded;
  return block;
}

void* ParseArena::Realloc(void* block, size_t old_size, size_t new_size) {
  if (!block) return Malloc(new_size);
  if (new_size <= old_size) return block;
  // The last block grows where it stands.
  char* start = static_cast<char*>(block);
  if (start + Aligned(old_size) == next_ && Aligned(new_size) - Aligned(old_size) <= Room()) {
    next_ = start + Aligned(new_size);
    return block;
  }
  void* moved = Malloc(new_size);
  std::memcpy(moved, block, old_size);
  return moved;
}
