#include "host/input_reader.h"

#include <new>
#include <utility>

namespace {

// The body's buffer follows the bytes that arrived, not the declared length:
// it starts at this size and doubles up to the length, so a length that lies
// costs no memory before its bytes come.
constexpr uint32_t kFirstBodyStep = 64 * 1024;

}  // namespace

InputReader::~InputReader() {
  while (kept_head_) {
    Kept* next = kept_head_->next;
    kept_head_->~Kept();
    DMemFree(kept_head_);
    kept_head_ = next;
  }
  if (spare_) DMemFree(spare_);
}

void InputReader::AwaitFirstByte() {
  if (HasFramesWaiting()) return;
  bool ended = false;
  prefix_got_ = source_.Read(prefix_, 1, &ended);
}

void InputReader::DropBegunFrame() {
  prefix_got_ = length_ = received_ = 0;
  dropping_ = false;
  body_.Release();
}

uint64_t InputReader::Cost(const DString& body) {
  return body.capacity() ? uint64_t(body.capacity()) + 1 : 0;
}

ReadOutcome InputReader::ReadFromInput(DString* message) {
  uint64_t used = kept_bytes_ + sizeof(Kept);
  return ReadFrame(message, used < kKeptBudget ? kKeptBudget - used : 0);
}

ReadOutcome InputReader::ReadFrame(DString* message, uint64_t room) {
  // The caller's last body lends its buffer to the next one: a document
  // sent in large pieces is not faulted into fresh memory piece by piece.
  if (!body_.data()) body_ = std::move(*message);
  message->Release();
  bool ended = false;
  if (prefix_got_ < 4) {
    prefix_got_ += source_.Read(prefix_ + prefix_got_, 4 - prefix_got_, &ended);
    if (prefix_got_ < 4) return ended ? ReadOutcome::kEnded : ReadOutcome::kStopped;
    int32_t length = int32_t(uint32_t(prefix_[0]) | uint32_t(prefix_[1]) << 8 |
                             uint32_t(prefix_[2]) << 16 | uint32_t(prefix_[3]) << 24);
    if (length <= 0) {
      DropBegunFrame();
      return ReadOutcome::kEmptyFrame;
    }
    length_ = uint32_t(length);
    dropping_ = length_ > DString::kLimit || uint64_t(length_) + 1 > room;
  }
  while (received_ < length_) {
    char scratch[4096];
    char* into = scratch;
    uint32_t want = length_ - received_ < sizeof scratch ? length_ - received_ : sizeof scratch;
    if (!dropping_) {
      if (!body_.data() || received_ == body_.capacity()) {
        uint64_t step = received_ < kFirstBodyStep / 2 ? kFirstBodyStep : uint64_t(received_) * 2;
        if (step > length_) step = length_;
        // A growth may hold the old buffer and the new one at once.
        if (Cost(body_) + step + 1 > room || !body_.Reserve(uint32_t(step))) {
          dropping_ = true;
          body_.Release();
          continue;
        }
      }
      into = body_.data() + received_;
      want = (body_.capacity() < length_ ? body_.capacity() : length_) - received_;
    }
    uint32_t got = source_.Read(into, want, &ended);
    received_ += got;
    if (got < want) return ended ? ReadOutcome::kEnded : ReadOutcome::kStopped;
  }
  ReadOutcome outcome = ReadOutcome::kDiscarded;
  if (!dropping_) {
    body_.SetLength(length_);
    *message = std::move(body_);
    outcome = ReadOutcome::kBody;
  }
  DropBegunFrame();
  return outcome;
}

ReadOutcome InputReader::ReadMessage(DString* message) {
  if (Kept* kept = kept_head_) {
    kept_head_ = kept->next;
    if (!kept_head_) kept_tail_ = nullptr;
    kept_bytes_ -= sizeof(Kept) + Cost(kept->body);
    *message = std::move(kept->body);
    ReadOutcome outcome = kept->outcome;
    kept->~Kept();
    DMemFree(kept);
    return outcome;
  }
  ReadOutcome outcome = ReadFrame(message, UINT64_MAX);
  if (outcome != ReadOutcome::kStopped && outcome != ReadOutcome::kEnded) return outcome;
  // Nothing else reads now: a frame that stopped short will never be whole.
  DropBegunFrame();
  return ReadOutcome::kEnded;
}

bool InputReader::ReserveKept() {
  if (kept_bytes_ + sizeof(Kept) > kKeptBudget) return false;
  if (!spare_) spare_ = static_cast<Kept*>(DMemAlloc(sizeof(Kept)));
  return spare_ != nullptr;
}

void InputReader::Keep(ReadOutcome outcome, DString* message) {
  Kept* kept = new (spare_) Kept{nullptr, outcome, std::move(*message)};
  spare_ = nullptr;
  kept_bytes_ += sizeof(Kept) + Cost(kept->body);
  (kept_tail_ ? kept_tail_->next : kept_head_) = kept;
  kept_tail_ = kept;
}
