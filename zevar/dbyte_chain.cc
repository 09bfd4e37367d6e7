#include "zevar/dbyte_chain.h"

#include <cstring>

#include "zevar/dmem.h"

namespace {
// Blocks grow with what is held, so a small payload takes little and a large
// one few blocks; the last block's unwritten tail is never touched.
constexpr uint64_t kSmallestBlock = 64u << 10;
constexpr uint64_t kLargestBlock = 4u << 20;
}  // namespace

bool DByteChain::AddBlock(uint32_t at_least) {
  uint64_t size = size_ < kLargestBlock ? size_ : kLargestBlock;
  if (size < kSmallestBlock) size = kSmallestBlock;
  if (size < at_least) size = at_least;
  auto* block = static_cast<Block*>(DMemAlloc(size_t(sizeof(Block) + size)));
  if (!block) return false;
  *block = Block{nullptr, reinterpret_cast<uint8_t*>(block + 1), 0, uint32_t(size)};
  (tail_ ? tail_->next : head_) = block;
  tail_ = block;
  return true;
}

uint8_t* DByteChain::Room(uint32_t at_least, uint32_t* room) {
  if ((!tail_ || tail_->size - tail_->used < at_least) && !AddBlock(at_least)) return nullptr;
  *room = tail_->size - tail_->used;
  return tail_->bytes + tail_->used;
}

void DByteChain::Commit(uint32_t count) {
  tail_->used += count;
  size_ += count;
}

bool DByteChain::Append(const void* bytes, uint32_t count) {
  // What the last block has left is filled first, so no room is lost
  // between pieces.
  Block* last = tail_;
  uint32_t first = last ? last->size - last->used : 0;
  if (first > count) first = count;
  if (first < count && !AddBlock(count - first)) return false;
  const auto* from = static_cast<const uint8_t*>(bytes);
  if (first) {
    std::memcpy(last->bytes + last->used, from, first);
    last->used += first;
  }
  if (first < count) {
    std::memcpy(tail_->bytes, from + first, count - first);
    tail_->used = count - first;
  }
  size_ += count;
  return true;
}

bool DByteChain::Borrow(const void* bytes, uint32_t count) {
  if (count == 0) return true;
  auto* block = static_cast<Block*>(DMemAlloc(sizeof(Block)));
  if (!block) return false;
  // Full from the start: nothing is ever written into a borrowed text.
  *block = Block{nullptr, static_cast<uint8_t*>(const_cast<void*>(bytes)), count, count};
  (tail_ ? tail_->next : head_) = block;
  tail_ = block;
  size_ += count;
  return true;
}

void DByteChain::Release() {
  while (head_) {
    Block* next = head_->next;
    DMemFree(head_);
    head_ = next;
  }
  tail_ = nullptr;
  size_ = 0;
}
