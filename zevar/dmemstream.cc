#include "zevar/dmemstream.h"

#include <cstring>
#include <new>

#include "zevar/dmem.h"

int32_t DMemData::Close() {
  if (owned_) DMemFree(bytes);
  bytes = nullptr;
  capacity = size = 0;
  return kDOk;
}

uint64_t DMemStreamBase::GetCapacity() const { return IsOpen() ? mem()->capacity : 0; }

uint64_t DMemStreamBase::GetSize() const { return IsOpen() ? mem()->size : 0; }

void* DMemStreamBase::GetBuffer() { return IsOpen() ? mem()->bytes : nullptr; }

int32_t DMemStreamBase::Read(void* buffer, uint32_t count, uint32_t* done) {
  *done = 0;
  if (!IsOpen()) return kDNotOpen;
  DMemData* m = mem();
  if (!(m->access & kDRead)) return kDAccessDenied;
  uint64_t at = GetPosition();
  uint64_t left = at < m->size ? m->size - at : 0;
  uint32_t n = left < count ? uint32_t(left) : count;
  if (n == 0) return count > 0 ? kDEndOfStream : kDOk;
  std::memcpy(buffer, m->bytes + at, n);
  set_position(at + n);
  *done = n;
  return kDOk;
}

int32_t DMemStreamBase::CopyIn(const void* buffer, uint32_t count, uint32_t* done) {
  DMemData* m = mem();
  uint64_t at = GetPosition();
  uint64_t left = at < m->size ? m->size - at : 0;
  uint32_t n = left < count ? uint32_t(left) : count;
  if (n == 0) return count > 0 ? kDEndOfStream : kDOk;
  std::memcpy(m->bytes + at, buffer, n);
  set_position(at + n);
  *done = n;
  return kDOk;
}

int32_t DBufferStream::Attach(void* buffer, uint64_t size, uint32_t mode) {
  static_cast<void>(Close());  // memory closes always; "not open" means nothing was
  if (!(mode & (kDRead | kDWrite))) return kDAccessDenied;
  if (!buffer) return kDInvalidArgument;
  if (!data()) {
    DMemData* fresh = new (std::nothrow) DMemData(false);
    if (!fresh) return kDOutOfMemory;
    SetData(fresh);
  }
  DMemData* m = mem();
  m->bytes = static_cast<uint8_t*>(buffer);
  m->capacity = m->size = size;
  m->access = (mode & kDWrite) ? (mode | kDRead) : mode;
  set_position(0);
  return kDOk;
}

int32_t DBufferStream::Write(const void* buffer, uint32_t count, uint32_t* done) {
  *done = 0;
  if (!IsOpen()) return kDNotOpen;
  if (!(mem()->access & kDWrite)) return kDAccessDenied;
  return CopyIn(buffer, count, done);
}

int32_t DBufferStream::SetSize(uint64_t size) {
  if (!IsOpen()) return kDNotOpen;
  DMemData* m = mem();
  if (size > m->capacity) return kDInvalidArgument;
  m->size = size;
  if (GetPosition() > size) set_position(size);
  return kDOk;
}

int32_t DMemoryStream::Create(uint64_t initial_size, int32_t growth) {
  static_cast<void>(Close());  // memory closes always; "not open" means nothing was
  if (initial_size > kMaxSize) return kDInvalidArgument;
  if (growth == 0) growth = -2;
  if (growth < -4) growth = -4;
  uint64_t capacity;
  if (initial_size == 0)
    capacity = growth < 1 ? 4096 : uint64_t(growth);
  else if (growth >= 1)
    capacity = (initial_size + uint64_t(growth) - 1) / uint64_t(growth) * uint64_t(growth);
  else
    capacity = initial_size;
  if (capacity > kMaxSize) capacity = kMaxSize;
  if (!data()) {
    DMemData* fresh = new (std::nothrow) DMemData(true);
    if (!fresh) return kDOutOfMemory;
    SetData(fresh);
  }
  DMemData* m = mem();
  m->bytes = static_cast<uint8_t*>(DMemAlloc(size_t(capacity)));
  if (!m->bytes) return kDOutOfMemory;
  m->capacity = capacity;
  m->size = initial_size;
  m->access = kDRead | kDWrite;
  m->growth = growth;
  set_position(0);
  return kDOk;
}

int32_t DMemoryStream::Write(const void* buffer, uint32_t count, uint32_t* done) {
  *done = 0;
  if (!IsOpen()) return kDNotOpen;
  if (!(mem()->access & kDWrite)) return kDAccessDenied;
  uint64_t end = GetPosition() + count;
  if (end > mem()->size) {
    int32_t status = SetSize(end);
    if (status < 0) return status;
  }
  return CopyIn(buffer, count, done);
}

int32_t DMemoryStream::SetSize(uint64_t size) {
  if (!IsOpen()) return kDNotOpen;
  if (size > kMaxSize) return kDInvalidArgument;
  DMemData* m = mem();
  if (size <= m->capacity) {
    m->size = size;
    if (GetPosition() > size) set_position(size);
    return kDOk;
  }
  uint64_t capacity;
  if (m->growth < 1) {
    capacity = m->capacity > 4096 ? m->capacity + m->capacity / uint64_t(-int64_t(m->growth)) : 8192;
    if (capacity < size) capacity = (size + 4095) & ~uint64_t(4095);
  } else {
    capacity = (size + uint64_t(m->growth) - 1) / uint64_t(m->growth) * uint64_t(m->growth);
  }
  // Room for the size is all that is needed; the step may not pass the limit.
  if (capacity > kMaxSize) capacity = kMaxSize;
  void* grown = DMemResize(m->bytes, size_t(capacity));
  if (!grown) return kDOutOfMemory;
  m->bytes = static_cast<uint8_t*>(grown);
  m->capacity = capacity;
  m->size = size;
  return kDOk;
}

int32_t DMemoryStream::Flush() {
  if (!IsOpen()) return kDNotOpen;
  DMemData* m = mem();
  uint64_t keep = m->size < 4 ? 4 : m->size;
  if (keep >= m->capacity) return kDOk;
  void* shrunk = DMemResize(m->bytes, size_t(keep));
  if (!shrunk) return kDOutOfMemory;
  m->bytes = static_cast<uint8_t*>(shrunk);
  m->capacity = keep;
  return kDOk;
}

int32_t DMemoryStream::SetMode(uint32_t mode) {
  if (!IsOpen()) return kDNotOpen;
  if (!(mode & (kDRead | kDWrite))) return kDAccessDenied;
  mem()->access = (mode & kDWrite) ? (mode | kDRead) : mode;
  return kDOk;
}

