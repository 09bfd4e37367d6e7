#include "host/channel.h"

#include <cstring>

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
