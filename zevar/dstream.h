// The stream interface shared by memory buffers and files.
//
// A stream object is a position over a DStreamData. Several stream objects may
// share one data object (Clone), each with its own position; the data is
// closed and deleted when the last of them lets go.
#pragma once

#include <cstdint>

#include "zevar/dstatus.h"

// The shared state behind streams.
class DStreamData {
 public:
  DStreamData() = default;
  DStreamData(const DStreamData&) = delete;
  DStreamData& operator=(const DStreamData&) = delete;
  virtual ~DStreamData() = default;
  [[nodiscard]] virtual bool IsOpen() const = 0;
  [[nodiscard]] virtual int32_t Close() = 0;
  // Kind-specific queries (none of the memory kinds answers any).
  [[nodiscard]] virtual int32_t Query(uint32_t what, void* out);

  void AddRef() { ++references_; }
  // Closes and deletes the data with the last reference.
  void Release();

 private:
  uint32_t references_ = 1;
};

struct DFileInfo {
  uint64_t size;
  uint64_t last_write_time;  // FILETIME
  uint32_t attributes;
};

enum DSeekOrigin : uint32_t { kDSeekBegin = 0, kDSeekCurrent = 1, kDSeekEnd = 2 };

enum DStreamKind : uint32_t { kDKindBuffer = 2, kDKindGrowable = 3, kDKindFile = 5 };

// Access bits.
constexpr uint32_t kDRead = 1;
constexpr uint32_t kDWrite = 2;

class DStream {
 public:
  DStream() = default;
  DStream(const DStream&) = delete;
  DStream& operator=(const DStream&) = delete;
  virtual ~DStream();

  virtual uint64_t GetPosition() const { return position_; }
  virtual uint64_t GetCapacity() const = 0;
  virtual uint64_t GetSize() const = 0;
  virtual uint32_t GetMode() const { return 0; }
  virtual uint32_t GetShare() const { return 0; }
  virtual uint32_t GetFlags() const { return 0; }
  [[nodiscard]] virtual int32_t Seek(uint32_t origin, int64_t offset);
  [[nodiscard]] virtual int32_t Read(void* buffer, uint32_t count, uint32_t* done) = 0;
  [[nodiscard]] virtual int32_t Write(const void* buffer, uint32_t count, uint32_t* done) = 0;
  // Seeks, reads, then puts the position back.
  [[nodiscard]] virtual int32_t ReadAt(void* buffer, uint32_t count, uint32_t origin, int64_t offset,
                         uint32_t* done);
  // Copies count bytes from this stream's position into destination at
  // (origin, offset).
  [[nodiscard]] virtual int32_t WriteTo(DStream* destination, uint32_t origin, int64_t offset, uint64_t count,
                          uint64_t* done);
  [[nodiscard]] virtual int32_t SetSize(uint64_t size) = 0;
  [[nodiscard]] virtual int32_t Flush() = 0;
  [[nodiscard]] virtual int32_t Reserved1() { return 0; }
  [[nodiscard]] virtual int32_t Reserved2() { return 0; }
  virtual void* GetBuffer() { return nullptr; }
  [[nodiscard]] virtual bool IsOpen() const { return data_ && data_->IsOpen(); }
  [[nodiscard]] virtual int32_t SetMode(uint32_t) { return kDNotSupported; }
  [[nodiscard]] virtual int32_t Close();
  virtual void Detach();
  virtual uint32_t GetKind() const = 0;
  [[nodiscard]] virtual int32_t QueryData(uint32_t what, void* out);
  // A new stream object on the same data at position 0; null without memory.
  virtual DStream* Clone() = 0;
  [[nodiscard]] virtual bool SharesDataWith(const DStream& other) const {
    return data_ != nullptr && data_ == other.data_;
  }
  [[nodiscard]] virtual bool GetFileInfo(DFileInfo*) { return false; }
  // Compares count bytes at offset with other's bytes at other_offset; *same
  // says whether they matched. Returns 1 for count 0.
  [[nodiscard]] virtual int32_t Compare(uint64_t count, uint64_t offset, DStream* other, uint64_t other_offset,
                          bool* same);
  virtual void Rewind() { position_ = 0; }

 protected:
  // Takes over one reference to data (dropping the one held before).
  void SetData(DStreamData* data);
  DStreamData* data() const { return data_; }
  void set_position(uint64_t position) { position_ = position; }

 private:
  DStreamData* data_ = nullptr;
  uint64_t position_ = 0;
};
