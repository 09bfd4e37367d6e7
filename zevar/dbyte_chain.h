// Bytes that arrive in pieces, held in a list of blocks instead of one
// growing buffer: appending never moves what is already held, so holding N
// bytes takes N bytes and no more, whatever the allocator does on growth.
#pragma once

#include <cstdint>

class DByteChain {
 public:
  DByteChain() = default;
  ~DByteChain() { Release(); }
  DByteChain(const DByteChain&) = delete;
  DByteChain& operator=(const DByteChain&) = delete;

  uint64_t size() const { return size_; }

  // Writable room of at least `at_least` bytes at the end (*room tells how
  // much); null when no block can be had. Commit tells what was written.
  uint8_t* Room(uint32_t at_least, uint32_t* room);
  void Commit(uint32_t count);

  // Copies the bytes behind what is held. False (nothing added) without memory.
  bool Append(const void* bytes, uint32_t count);

  // Adds a text that stays the caller's and must outlive the chain's use.
  bool Borrow(const void* bytes, uint32_t count);

  // The held extents in order: visit(bytes, count) for each; stops at the
  // first false and returns it.
  template <typename Visit>
  bool Each(Visit visit) const {
    for (const Block* block = head_; block; block = block->next)
      if (block->used && !visit(block->bytes, block->used)) return false;
    return true;
  }

  void Release();

 private:
  struct Block {
    Block* next;
    uint8_t* bytes;
    uint32_t used;
    uint32_t size;
  };
  bool AddBlock(uint32_t at_least);

  Block* head_ = nullptr;
  Block* tail_ = nullptr;
  uint64_t size_ = 0;
};
