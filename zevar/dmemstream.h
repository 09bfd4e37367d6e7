// Streams over memory: a caller's fixed buffer (DBufferStream) and a buffer
// of the runtime allocator that grows as it is written (DMemoryStream).
#pragma once

#include <cstdint>
#include <new>

#include "zevar/dstream.h"

// Bytes in memory; the growable kind owns its buffer.
class DMemData final : public DStreamData {
 public:
  explicit DMemData(bool owned) : owned_(owned) {}
  ~DMemData() override { static_cast<void>(Close()); }  // freeing memory cannot fail
  [[nodiscard]] bool IsOpen() const override { return bytes != nullptr; }
  [[nodiscard]] int32_t Close() override;
  [[nodiscard]] bool owned() const { return owned_; }

  uint8_t* bytes = nullptr;
  uint64_t capacity = 0;
  uint64_t size = 0;
  uint32_t access = 0;
  int32_t growth = -2;  // growable only

 private:
  const bool owned_;
};

// What the two memory streams share.
class DMemStreamBase : public DStream {
 public:
  uint64_t GetCapacity() const override;
  uint64_t GetSize() const override;
  uint32_t GetMode() const override { return IsOpen() ? mem()->access : 0; }
  [[nodiscard]] int32_t Read(void* buffer, uint32_t count, uint32_t* done) override;
  [[nodiscard]] int32_t Flush() override { return IsOpen() ? kDOk : kDNotOpen; }
  void* GetBuffer() override;

 protected:
  DMemData* mem() const { return static_cast<DMemData*>(data()); }
  // Copies into the bytes at the position, within the size.
  [[nodiscard]] int32_t CopyIn(const void* buffer, uint32_t count, uint32_t* done);
  // A new stream of the same kind over the same, shared data.
  template <typename Stream>
  DStream* CloneSharing() const {
    Stream* copy = new (std::nothrow) Stream;
    if (copy && data()) {
      data()->AddRef();
      copy->SetData(data());
    }
    return copy;
  }
};

class DBufferStream final : public DMemStreamBase {
 public:
  // Streams over buffer (which stays the caller's); mode holds kDRead and/or
  // kDWrite.
  [[nodiscard]] int32_t Attach(void* buffer, uint64_t size, uint32_t mode);
  [[nodiscard]] int32_t Write(const void* buffer, uint32_t count, uint32_t* done) override;
  [[nodiscard]] int32_t SetSize(uint64_t size) override;
  uint32_t GetKind() const override { return kDKindBuffer; }
  DStream* Clone() override { return CloneSharing<DBufferStream>(); }
};

class DMemoryStream final : public DMemStreamBase {
 public:
  static constexpr uint64_t kMaxSize = 0x7FFFFFFF;

  // growth < 1: grow by capacity / -growth (0 means -2, at least -4);
  // growth >= 1: grow in multiples of growth.
  [[nodiscard]] int32_t Create(uint64_t initial_size, int32_t growth);
  [[nodiscard]] int32_t Write(const void* buffer, uint32_t count, uint32_t* done) override;
  [[nodiscard]] int32_t SetSize(uint64_t size) override;
  // Gives back the room beyond the size.
  [[nodiscard]] int32_t Flush() override;
  [[nodiscard]] int32_t SetMode(uint32_t mode) override;
  uint32_t GetKind() const override { return kDKindGrowable; }
  DStream* Clone() override { return CloneSharing<DMemoryStream>(); }
};
