// Base64 decoding from one stream into another.
#pragma once

#include <cstdint>

#include "zevar/dstream.h"

// Decodes count bytes of source, from source_offset on, into destination at
// its position. The text is taken in pieces of 2048 bytes: characters outside
// the alphabet ('=', line breaks, blanks) are skipped, a zero byte where a
// group would start ends the piece, and a group that a piece's end cuts goes
// on in the next piece.
[[nodiscard]] int32_t DBase64DecodeCopy(DStream* destination, DStream* source, uint64_t count,
                          uint64_t source_offset);

// Decodes one piece in place; returns the number of bytes produced. With a
// carry buffer, the significant characters (at most 3) of a group cut by the
// piece's end are stored there instead of being decoded as a final group.
uint32_t DBase64DecodePiece(uint8_t* text, uint32_t count, uint8_t* carry = nullptr,
                            uint32_t* carried = nullptr);

// Decodes a Base64 text that arrives in pieces exactly as DBase64DecodeCopy
// decodes it whole: a group may be cut anywhere between two pieces. The
// pieces hold no zero byte.
class DBase64Stream {
 public:
  // The room out needs for count more characters.
  static constexpr uint32_t Room(uint32_t count) { return count / 4 * 3 + 8; }

  // Decodes the whole groups of what is carried and text into out; keeps the
  // characters of a group the text's end cuts. Returns the bytes produced.
  uint32_t Feed(const uint8_t* text, uint32_t count, uint8_t* out);

  // The last, incomplete group: 1 or 2 bytes (out needs Room(0)).
  uint32_t Finish(uint8_t* out);

 private:
  uint8_t carry_[4] = {};
  uint32_t carried_ = 0;
};
