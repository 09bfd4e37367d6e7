#include <cstring>

#include "actions/temp_pdf.h"

#include "zevar/dmem.h"

namespace {

const char kMarker[] = ";base64,";
constexpr uint32_t kMarkerLength = sizeof kMarker - 1;

// Where the first marker starts; length when there is none.
uint32_t FindMarker(const char* text, uint32_t length) {
  for (uint32_t at = 0; at + kMarkerLength <= length;) {
    const void* semicolon = std::memchr(text + at, ';', length - kMarkerLength + 1 - at);
    if (!semicolon) break;
    at = uint32_t(static_cast<const char*>(semicolon) - text);
    if (std::memcmp(text + at, kMarker, kMarkerLength) == 0) return at;
    ++at;
  }
  return length;
}

// Decoded bytes are written in slices of this size: small enough to stay in
// the cache between the decode and the write, large enough for few writes.
constexpr uint32_t kBuffer = 512u << 10;
constexpr uint32_t kSlice = (kBuffer - DBase64Stream::Room(0)) / 3 * 4;

}  // namespace

PdfDocumentSink::~PdfDocumentSink() { DMemFree(buffer_); }

bool PdfDocumentSink::Take(const char* bytes, uint32_t length) {
  if (found_) return Decode(bytes, length);
  // A marker that began in the pieces before this one comes first.
  char window[2 * sizeof tail_];
  uint32_t head = length < sizeof tail_ ? length : uint32_t(sizeof tail_);
  std::memcpy(window, tail_, tail_length_);
  std::memcpy(window + tail_length_, bytes, head);
  uint32_t at = FindMarker(window, tail_length_ + head);
  if (at < tail_length_) {
    found_ = true;
    uint32_t skip = at + kMarkerLength - tail_length_;
    return Decode(bytes + skip, length - skip);
  }
  at = FindMarker(bytes, length);
  if (at < length) {
    found_ = true;
    return Decode(bytes + at + kMarkerLength, length - at - kMarkerLength);
  }
  // Keep the last bytes of everything so far.
  uint32_t total = tail_length_ + length;
  uint32_t drop = total > sizeof tail_ ? total - uint32_t(sizeof tail_) : 0;
  if (drop >= tail_length_) {
    std::memcpy(tail_, bytes + (drop - tail_length_), total - drop);
  } else {
    std::memmove(tail_, tail_ + drop, tail_length_ - drop);
    std::memcpy(tail_ + tail_length_ - drop, bytes, length);
  }
  tail_length_ = total - drop;
  return true;
}

bool PdfDocumentSink::Decode(const char* text, uint32_t count) {
  if (!writer_ || count == 0) return true;
  // No larger than the first slices need: a small document takes little.
  uint32_t need = DBase64Stream::Room(count < kSlice ? count : kSlice);
  if (need > buffer_size_) {
    DMemFree(buffer_);
    buffer_ = static_cast<uint8_t*>(DMemAlloc(need));
    buffer_size_ = buffer_ ? need : 0;
    if (!buffer_) return false;
  }
  const auto* in = reinterpret_cast<const uint8_t*>(text);
  while (count > 0) {
    uint32_t take = count < kSlice ? count : kSlice;
    uint32_t made = decoder_.Feed(in, take, buffer_);
    // After a failed write the rest is only received.
    if (made > 0 && !writer_->Write(buffer_, made)) {
      writer_ = nullptr;
      return true;
    }
    in += take;
    count -= take;
  }
  return true;
}

void PdfDocumentSink::Finish() {
  uint8_t last[DBase64Stream::Room(0)];
  uint32_t made = decoder_.Finish(last);
  if (writer_ && made > 0) writer_->Write(last, made);
}
