// The plain Base64 rule the decoder's tests check it against: the alphabet's
// characters taken in groups of four, everything else skipped, a zero at a
// group's start ending the text, a final group of 2 or 3 giving 1 or 2 bytes.
#pragma once

#include <cstdint>
#include <string>

inline std::string PlainBase64Decode(const std::string& text) {
  std::string out;
  uint32_t group = 0;
  int k = 0;
  for (unsigned char c : text) {
    if (k == 0 && c == 0) break;
    int v = c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26
          : c >= '0' && c <= '9' ? c - '0' + 52 : c == '+' ? 62 : c == '/' ? 63 : -1;
    if (v < 0) continue;
    group = group << 6 | uint32_t(v);
    if (++k == 4) {
      out += char(group >> 16);
      out += char(group >> 8);
      out += char(group);
      group = 0;
      k = 0;
    }
  }
  if (k >= 2) out += char(group >> (6 * k - 8));
  if (k == 3) out += char(group >> 2);
  return out;
}
