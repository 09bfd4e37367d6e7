// The framed message channel: a 4-byte little-endian length, then that many
// bytes of UTF-8 JSON, over the host's standard input and output.
#pragma once

#include <cstdint>
#include <cstdio>

#include "zevar/dstring.h"

// Standard input and output as the host uses them (stdin/stdout in the
// program; other streams in tests).
struct Channel {
  FILE* input;
  FILE* output;
};

// What a read found; the message is empty for every outcome but kBody.
enum class ReadOutcome {
  kBody,        // a whole body arrived
  kEmptyFrame,  // a length of 0 or less: no body follows
  kEnded,       // the input ended (or the read failed or was cancelled)
  kDiscarded,   // the body could not be stored; it was read and dropped
};

// Reads one frame. The message is emptied first; it holds the body followed
// by a NUL only when the outcome is kBody.
ReadOutcome ReadMessage(const Channel& channel, DString* message);

// Writes the bytes of text before its first NUL as one frame and flushes.
// A null text is written as an empty frame. Write errors are ignored.
void WriteMessage(const Channel& channel, const char* text);

// Writes exactly count bytes as one frame and flushes.
void WriteFrame(const Channel& channel, const char* bytes, uint32_t count);
