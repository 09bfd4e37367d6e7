#include "actions/chunked_transfer.h"

#include <cstring>

#include "host/channel.h"

const char kChunkRequest[] = "{ \"action\": \"sendNextData\", \"version\": 1 }";
static_assert(sizeof kChunkRequest == kChunkRequestLength + 1, "the chunk request is 42 bytes");

namespace {

// The message's "data" text up to its first NUL (an escaped NUL ends the
// piece); null and 0 when there is no "data" string.
const char* PieceOf(const RequestValue& message, uint32_t* length) {
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
bool MoreToCome(const RequestValue& message) {
  if (!message.IsObject()) return false;
  auto rest = message.FindMember("dataRest");
  return rest != message.MemberEnd() && rest->value.IsInt() && rest->value.GetInt() >= 1;
}

// One message's step of a transfer: hands its "data" piece, when there is
// one, to the sink (lent when it is the request's own), keeping the joined
// length within the payload's limit, and sets more when its "dataRest" asks
// for another piece. False when the piece could not be taken.
bool AppendDataChunk(const RequestValue& message, PieceSink* sink, bool lent, uint64_t* total,
                     bool* more) {
  *more = MoreToCome(message);
  uint32_t length;
  const char* piece = PieceOf(message, &length);
  if (length == 0) return true;
  *total += length;
  if (*total > DString::kLimit) return false;
  return lent ? sink->Lend(piece, length) : sink->Take(piece, length);
}

}  // namespace

bool ReceiveChunkedData(HostSession& session, const ParsedRequest& request, ActionId action,
                        PieceSink* sink) {
  uint64_t total = 0;
  bool more = false;
  if (!AppendDataChunk(request.document, sink, true, &total, &more)) return false;
  DString message;
  while (more) {
    WriteFrame(session.channel, kChunkRequest, kChunkRequestLength);
    ReadOutcome outcome = ReadMessage(session.channel, &message);
    // Without more input no piece can come. A body that could not be stored
    // may have been the next piece: going on would join a document with a
    // hole in it.
    if (outcome == ReadOutcome::kEnded || outcome == ReadOutcome::kDiscarded) return false;
    if (outcome == ReadOutcome::kEmptyFrame) continue;
    // Parsed where it lies: the piece is handed on straight from the message.
    ParsedRequest next;
    ParseRequest(message.data(), &next);
    // Anything else is dropped and the piece asked for again.
    if (next.action == action && !AppendDataChunk(next.document, sink, false, &total, &more))
      return false;
  }
  return true;
}
