#include "host/channel.h"

#include <cstring>

namespace {

// Drops count bytes of a body that could not be stored, so the next read
// starts at the next frame. False when the input ended first.
bool SkipBody(FILE* input, uint32_t count) {
  char scratch[4096];
  while (count > 0) {
    size_t piece = count < sizeof scratch ? count : sizeof scratch;
    if (std::fread(scratch, 1, piece, input) != piece) return false;
    count -= uint32_t(piece);
  }
  return true;
}

}  // namespace

ReadOutcome ReadMessage(const Channel& channel, DString* message) {
  message->Release();
  unsigned char prefix[4];
  if (std::fread(prefix, 1, 4, channel.input) != 4) return ReadOutcome::kEnded;
  int32_t length = int32_t(uint32_t(prefix[0]) | uint32_t(prefix[1]) << 8 |
                           uint32_t(prefix[2]) << 16 | uint32_t(prefix[3]) << 24);
  if (length <= 0) return ReadOutcome::kEmptyFrame;

  uint32_t count = uint32_t(length);
  if (!message->Reserve(count)) {
    return SkipBody(channel.input, count) ? ReadOutcome::kDiscarded : ReadOutcome::kEnded;
  }
  // A body that ends early is never handed on: its tail was never written.
  if (std::fread(message->data(), 1, count, channel.input) != count) {
    message->Release();
    return ReadOutcome::kEnded;
  }
  message->SetLength(count);
  return ReadOutcome::kBody;
}

void WriteFrame(const Channel& channel, const char* bytes, uint32_t count) {
  const unsigned char prefix[4] = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16),
                                   uint8_t(count >> 24)};
  std::fwrite(prefix, 1, 4, channel.output);
  if (count) std::fwrite(bytes, 1, count, channel.output);
  std::fflush(channel.output);
}

void WriteMessage(const Channel& channel, const char* text) {
  WriteFrame(channel, text, text ? uint32_t(std::strlen(text)) : 0);
}
