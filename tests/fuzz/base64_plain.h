// Plain Base64 for the tests: an encoder, and the rule the decoders are
// checked against: the alphabet's characters taken in groups of four,
// everything else skipped, a final group of 2 or 3 giving 1 or 2 bytes, and a
// zero at a group's start ending the text; or, read in pieces of `piece`
// bytes (the characters of a group a piece's end cuts going in front of the
// next one), ending only its piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

constexpr char kPlainBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

inline std::string PlainBase64Decode(const std::string& text, size_t piece = 0) {
  if (piece == 0) piece = text.size() + 1;
  std::string out;
  uint32_t group = 0;
  int k = 0;
  size_t left = piece;  // what the piece still takes of the text
  for (size_t i = 0; i < text.size(); ++i) {
    if (left == 0) left = piece - k;
    --left;
    char c = text[i];
    if (k == 0 && c == 0) {
      i += left;
      left = 0;
      continue;
    }
    const char* at = c ? std::strchr(kPlainBase64Alphabet, c) : nullptr;
    if (at == nullptr) continue;
    group = group << 6 | uint32_t(at - kPlainBase64Alphabet);
    if (++k == 4) {
      out += {char(group >> 16), char(group >> 8), char(group)};
      group = 0;
      k = 0;
    }
  }
  if (k >= 2) out += char(group >> (6 * k - 8));
  if (k == 3) out += char(group >> 2);
  return out;
}

inline std::string PlainBase64Encode(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = 0;
    for (size_t k = 0; k < 3; ++k) n = n << 8 | (i + k < bytes.size() ? uint8_t(bytes[i + k]) : 0);
    // One character more than the bytes left, then padding.
    for (size_t k = 0; k < 4; ++k)
      out += k <= bytes.size() - i ? kPlainBase64Alphabet[(n >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}
