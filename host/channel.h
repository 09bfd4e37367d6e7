// The framed message channel: a 4-byte little-endian length, then that many
// bytes of UTF-8 JSON, over the host's standard input and output.
#pragma once

#include <cstdint>
#include <cstdio>

#include "host/input_reader.h"
#include "zevar/dstring.h"

// The host's input, through its one reader, and its standard output (other
// streams in tests).
struct Channel {
  InputReader* input;
  FILE* output;
};

// Reads one frame (InputReader::ReadMessage). The message is emptied first;
// it holds the body followed by a NUL only when the outcome is kBody.
[[nodiscard]] inline ReadOutcome ReadMessage(const Channel& channel, DString* message) {
  return channel.input->ReadMessage(message);
}

// Writes the bytes of text before its first NUL as one frame and flushes.
// A null text is written as an empty frame. Write errors are ignored.
void WriteMessage(const Channel& channel, const char* text);

// Writes exactly count bytes as one frame and flushes.
void WriteFrame(const Channel& channel, const char* bytes, uint32_t count);
