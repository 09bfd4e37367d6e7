#include "actions/chunked_transfer.h"

#include <cstring>

#include "host/channel.h"
#include "zevar/dmem.h"

const char kChunkRequest[] = "{ \"action\": \"sendNextData\", \"version\": 1 }";
static_assert(sizeof kChunkRequest == kChunkRequestLength + 1, "the chunk request is 42 bytes");

namespace {

// The message's "data" text up to its first NUL (an escaped NUL ends the
// piece); null and 0 when there is no "data" string.
const char* PieceOf(const rapidjson::Value& message, uint32_t* length) {
  *length = 0;
  if (!message.IsObject()) return nullptr;
  auto data = message.FindMember("data");
  if (data == message.MemberEnd() || !data->value.IsString()) return nullptr;
  const char* text = data->value.GetString();
  rapidjson::SizeType size = data->value.GetStringLength();
  const void* nul = std::memchr(text, 0, size);
  *length = nul ? uint32_t(static_cast<const char*>(nul) - text) : uint32_t(size);
  return text;
}

// IsInt holds only for numbers the parser stored as signed 32-bit integers:
// not for 2.0, 1e1, 4294967296 or strings.
bool MoreToCome(const rapidjson::Value& message) {
  if (!message.IsObject()) return false;
  auto rest = message.FindMember("dataRest");
  return rest != message.MemberEnd() && rest->value.IsInt() && rest->value.GetInt() >= 1;
}

// The pieces after the first are held here and joined once the last one has
// arrived. Growing the payload by exact steps would let an allocator that
// moves on growth copy the whole payload for every piece (quadratic in its
// size); this way every byte is copied twice, whatever the allocator does,
// and the payload still ends up with the exact rounded capacity.
class PieceQueue {
 public:
  PieceQueue() = default;
  PieceQueue(const PieceQueue&) = delete;
  PieceQueue& operator=(const PieceQueue&) = delete;
  ~PieceQueue() {
    while (head_) {
      Block* next = head_->next;
      DMemFree(head_);
      head_ = next;
    }
  }

  // False when the bytes cannot be held or would take the payload, whose
  // current length is given, past its limit.
  bool Add(const char* bytes, uint32_t length, uint32_t payload_length) {
    if (uint64_t(payload_length) + total_ + length > DString::kLimit) return false;
    // A piece fills what the last block has left and goes on in a new one, so
    // no room is lost between pieces.
    uint32_t first = tail_ ? tail_->size - tail_->used : 0;
    if (first > length) first = length;
    if (first < length) {
      // Blocks grow with the transfer: few for a large one, small for a small one.
      uint64_t size = total_ < kLargestBlock ? total_ : kLargestBlock;
      if (size < kSmallestBlock) size = kSmallestBlock;
      if (size < length - first) size = length - first;
      Block* block = static_cast<Block*>(DMemAlloc(size_t(sizeof(Block) + size)));
      if (!block) return false;
      block->next = nullptr;
      block->used = 0;
      block->size = uint32_t(size);
      if (first) Put(tail_, bytes, first);
      (tail_ ? tail_->next : head_) = block;
      tail_ = block;
      Put(block, bytes + first, length - first);
    } else {
      Put(tail_, bytes, length);
    }
    total_ += length;
    return true;
  }

  // Appends everything held to the payload with one resize. False (payload
  // unchanged) when the payload cannot grow.
  bool MoveInto(DString* payload) {
    if (total_ == 0) return true;
    uint32_t length = payload->length();
    if (!payload->Reserve(length + uint32_t(total_))) return false;
    char* out = payload->data() + length;
    for (Block* block = head_; block; block = block->next) {
      std::memcpy(out, Bytes(block), block->used);
      out += block->used;
    }
    payload->SetLength(length + uint32_t(total_));
    return true;
  }

 private:
  struct Block {
    Block* next;
    uint32_t used;
    uint32_t size;
  };
  static constexpr uint64_t kSmallestBlock = 4096;
  static constexpr uint64_t kLargestBlock = 8u << 20;
  static char* Bytes(Block* block) { return reinterpret_cast<char*>(block + 1); }
  static void Put(Block* block, const char* bytes, uint32_t length) {
    std::memcpy(Bytes(block) + block->used, bytes, length);
    block->used += length;
  }

  Block* head_ = nullptr;
  Block* tail_ = nullptr;
  uint64_t total_ = 0;
};

bool BreakOff(DString* payload) {
  payload->Release();
  return false;
}

}  // namespace

bool AppendDataChunk(const rapidjson::Value& message, DString* payload, bool* appended) {
  uint32_t length;
  const char* piece = PieceOf(message, &length);
  bool ok = length == 0 || payload->Append(piece, length);
  if (appended) *appended = ok;
  return MoreToCome(message);
}

bool ReceiveChunkedData(HostSession& session, const ParsedRequest& request, ActionId action,
                        DString* payload) {
  payload->Empty();
  bool appended;
  bool more = AppendDataChunk(request.document, payload, &appended);
  if (!appended) return BreakOff(payload);

  PieceQueue pieces;
  DString message;
  while (more) {
    WriteFrame(session.channel, kChunkRequest, kChunkRequestLength);
    ReadOutcome outcome = ReadMessage(session.channel, &message);
    // Without more input no piece can come. A body that could not be stored
    // may have been the next piece: going on would join a document with a
    // hole in it.
    if (outcome == ReadOutcome::kEnded || outcome == ReadOutcome::kDiscarded) {
      return BreakOff(payload);
    }
    if (outcome == ReadOutcome::kEmptyFrame) continue;
    ParsedRequest next;
    ParseRequest(message.c_str(), &next);
    message.Release();
    if (next.action != action) continue;  // dropped; asked for again
    uint32_t length;
    const char* piece = PieceOf(next.document, &length);
    if (length != 0 && !pieces.Add(piece, length, payload->length())) return BreakOff(payload);
    more = MoreToCome(next.document);
  }
  if (!pieces.MoveInto(payload)) return BreakOff(payload);
  return true;
}
