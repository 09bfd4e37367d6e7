#include "zevar/dstream.h"

#include <cstring>

namespace {
constexpr uint32_t kComparePiece = 4096;
constexpr uint32_t kCopyPiece = 4096;
}  // namespace

int32_t DStreamData::Query(uint32_t, void*) { return kDNotSupported; }

void DStreamData::Release() {
  if (--references_ != 0) return;
  // The last reference went without an explicit Close: there is nobody left
  // to report a failure to (a writer that cares closes first).
  static_cast<void>(Close());
  delete this;
}

DStream::~DStream() { SetData(nullptr); }

void DStream::SetData(DStreamData* data) {
  if (data_) data_->Release();
  data_ = data;
}

int32_t DStream::Seek(uint32_t origin, int64_t offset) {
  if (!IsOpen()) return kDNotOpen;
  int64_t base;
  switch (origin) {
    case kDSeekBegin: base = 0; break;
    case kDSeekCurrent: base = int64_t(position_); break;
    case kDSeekEnd: base = int64_t(GetSize()); break;
    default: return kDBadSeekOrigin;
  }
  // Both terms lie within 0..2^63, so only a positive overflow can happen.
  if (offset > 0 && base > INT64_MAX - offset) return kDSeekOutOfRange;
  int64_t target = base + offset;
  if (target < 0 || uint64_t(target) > GetSize()) return kDSeekOutOfRange;
  position_ = uint64_t(target);
  return kDOk;
}

int32_t DStream::ReadAt(void* buffer, uint32_t count, uint32_t origin, int64_t offset,
                        uint32_t* done) {
  *done = 0;
  uint64_t saved = position_;
  int32_t status = Seek(origin, offset);
  if (status < 0) return status;
  status = Read(buffer, count, done);
  position_ = saved;
  return status;
}

int32_t DStream::WriteTo(DStream* destination, uint32_t origin, int64_t offset, uint64_t count,
                         uint64_t* done) {
  *done = 0;
  int32_t status = destination->Seek(origin, offset);
  if (status < 0) return status;
  uint8_t piece[kCopyPiece];
  while (count > 0) {
    uint32_t want = count < kCopyPiece ? uint32_t(count) : kCopyPiece;
    uint32_t got = 0;
    status = Read(piece, want, &got);
    if (status == kDEndOfStream) break;  // this stream ended on a piece boundary
    if (status < 0) return status;
    uint32_t put = 0;
    status = destination->Write(piece, got, &put);
    *done += put;
    if (status < 0) return status;
    if (put < got) return kDShortWrite;
    if (got < want) break;  // this stream ended
    count -= got;
  }
  return kDOk;
}

int32_t DStream::Close() {
  position_ = 0;
  if (!data_) return kDNotOpen;
  return data_->Close();
}

void DStream::Detach() {
  position_ = 0;
  SetData(nullptr);
}

int32_t DStream::QueryData(uint32_t what, void* out) {
  return data_ ? data_->Query(what, out) : kDNotOpen;
}

int32_t DStream::Compare(uint64_t count, uint64_t offset, DStream* other, uint64_t other_offset,
                         bool* same) {
  *same = true;
  if (count == 0) return kDNothingDone;
  if (offset > uint64_t(INT64_MAX) || other_offset > uint64_t(INT64_MAX)) return kDInvalidArgument;
  uint8_t mine[kComparePiece], theirs[kComparePiece];
  while (count > 0) {
    uint32_t want = count < kComparePiece ? uint32_t(count) : kComparePiece;
    uint32_t got = 0, got_other = 0;
    int32_t status = ReadAt(mine, want, kDSeekBegin, int64_t(offset), &got);
    if (status < 0) return status;
    status = other->ReadAt(theirs, want, kDSeekBegin, int64_t(other_offset), &got_other);
    if (status < 0) return status;
    if (got != want || got_other != want) return kDShortCompareRead;
    if (std::memcmp(mine, theirs, want) != 0) {
      *same = false;
      return kDOk;
    }
    count -= want;
    offset += want;
    other_offset += want;
  }
  return kDOk;
}
