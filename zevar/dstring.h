// The runtime's narrow (bytes) and wide (UTF-16) strings.
//
// A string owns one buffer from the runtime allocator, or none while nothing
// was ever stored (readers then see a static empty text). The text is always
// NUL-terminated. Growing to hold n units takes n + 1 rounded up to 32 units;
// assigning a whole text takes exactly length + 1 units. A request beyond the
// length limit fails and leaves the string as it was.
#pragma once

#include <cstdint>
#include <cstring>

#include "zevar/dmem.h"

using DWChar = char16_t;

template <typename Unit, uint32_t kMaxLength>
class DBasicString {
 public:
  static constexpr uint32_t kLimit = kMaxLength;

  DBasicString() = default;
  ~DBasicString() { Release(); }
  DBasicString(const DBasicString&) = delete;
  DBasicString& operator=(const DBasicString&) = delete;
  DBasicString(DBasicString&& other) noexcept { Swap(other); }
  DBasicString& operator=(DBasicString&& other) noexcept {
    if (this != &other) {
      Release();
      Swap(other);
    }
    return *this;
  }

  const Unit* c_str() const { return buffer_ ? buffer_ : EmptyText(); }
  // Null while the string has no buffer.
  Unit* data() { return buffer_; }
  uint32_t length() const { return length_; }
  uint32_t capacity() const { return capacity_; }
  [[nodiscard]] bool empty() const { return length_ == 0; }

  // Length 0; the buffer is kept.
  void Empty() {
    length_ = 0;
    if (buffer_) buffer_[0] = 0;
  }

  // Frees the buffer.
  void Release() {
    DMemFree(buffer_);
    buffer_ = nullptr;
    length_ = capacity_ = 0;
  }

  // Makes room for n units (plus the NUL), growing in steps of 32 units.
  [[nodiscard]] bool Reserve(uint32_t n) {
    if (n > kMaxLength) return false;
    if (buffer_ && n <= capacity_) return true;
    return Reallocate(RoundUp(n + 1));
  }

  // Exactly length + 1 units.
  [[nodiscard]] bool Assign(const Unit* text, uint32_t count) {
    if (count > kMaxLength) return false;
    if (!buffer_ || count != capacity_) {
      Unit* fresh = static_cast<Unit*>(DMemAlloc((size_t(count) + 1) * sizeof(Unit)));
      if (!fresh) return false;
      if (count) std::memcpy(fresh, text, count * sizeof(Unit));
      DMemFree(buffer_);
      buffer_ = fresh;
      capacity_ = count;
    } else if (count) {
      std::memmove(buffer_, text, count * sizeof(Unit));
    }
    length_ = count;
    buffer_[count] = 0;
    return true;
  }
  [[nodiscard]] bool Assign(const Unit* text) { return Assign(text, Length(text)); }

  [[nodiscard]] bool Append(const Unit* text, uint32_t count) {
    if (count > kMaxLength - length_) return false;
    if (!Reserve(length_ + count)) return false;
    std::memcpy(buffer_ + length_, text, count * sizeof(Unit));
    length_ += count;
    buffer_[length_] = 0;
    return true;
  }
  [[nodiscard]] bool Append(const Unit* text) { return Append(text, Length(text)); }
  [[nodiscard]] bool Append(Unit unit) { return Append(&unit, 1); }

  // Sets the length after the caller filled the buffer (n <= capacity).
  void SetLength(uint32_t n) {
    length_ = n;
    // Callers filled the buffer, so it exists (the analyzer cannot tell).
    buffer_[n] = 0;  // NOLINT(clang-analyzer-core.NullDereference)
  }

  // Takes over a buffer of the runtime allocator holding capacity + 1 units.
  void Adopt(Unit* buffer, uint32_t count, uint32_t capacity) {
    Release();
    buffer_ = buffer;
    length_ = count;
    capacity_ = capacity;
  }

  static uint32_t Length(const Unit* text) {
    uint32_t n = 0;
    if (text)
      while (text[n]) ++n;
    return n;
  }

 private:
  static const Unit* EmptyText() {
    static const Unit kEmpty[1] = {0};
    return kEmpty;
  }
  // Units to allocate for n units: a multiple of 32, within the limit.
  static uint32_t RoundUp(uint32_t n) {
    uint64_t rounded = (uint64_t(n) + 31) & ~uint64_t(31);
    return rounded > uint64_t(kMaxLength) + 1 ? kMaxLength + 1 : uint32_t(rounded);
  }
  [[nodiscard]] bool Reallocate(uint32_t units) {
    Unit* grown = static_cast<Unit*>(DMemRealloc(buffer_, size_t(units) * sizeof(Unit)));
    if (!grown) return false;
    if (!buffer_) grown[0] = 0;
    buffer_ = grown;
    capacity_ = units - 1;
    return true;
  }
  void Swap(DBasicString& other) {
    Unit* b = buffer_;
    uint32_t l = length_, c = capacity_;
    buffer_ = other.buffer_;
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.buffer_ = b;
    other.length_ = l;
    other.capacity_ = c;
  }

  Unit* buffer_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
};

using DString = DBasicString<char, 0x7FFFFFFE>;
using DWString = DBasicString<DWChar, 0x3FFFFFFE>;
