#include "host/channel.h"

#include <cstring>

void WriteFrame(const Channel& channel, const char* bytes, uint32_t count) {
  const unsigned char prefix[4] = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16),
                                   uint8_t(count >> 24)};
  // A write fails only when the browser stopped reading: nobody is left to
  // tell, and the run ends with its input.
  static_cast<void>(std::fwrite(prefix, 1, 4, channel.output));
  if (count) static_cast<void>(std::fwrite(bytes, 1, count, channel.output));
  static_cast<void>(std::fflush(channel.output));
}

void WriteMessage(const Channel& channel, const char* text) {
  WriteFrame(channel, text, text ? uint32_t(std::strlen(text)) : 0);
}
