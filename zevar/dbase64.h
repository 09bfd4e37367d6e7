// Base64 decoding from one stream into another.
#pragma once

#include <cstdint>

#include "zevar/dstream.h"

// Decodes count bytes of source, from source_offset on, into destination at
// its position. The text is taken in pieces of 2048 bytes, each decoded on its
// own: characters outside the alphabet ('=', line breaks, blanks) are skipped
// and a zero byte where a group would start ends the piece.
int32_t DBase64DecodeCopy(DStream* destination, DStream* source, uint64_t count,
                          uint64_t source_offset);

// Decodes one piece in place; returns the number of bytes produced.
uint32_t DBase64DecodePiece(uint8_t* text, uint32_t count);
