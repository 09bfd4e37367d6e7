// Plain Base64 for the tests: an encoder, and the rule the decoder's tests
// check it against: the alphabet's
// characters taken in groups of four, everything else skipped, a zero at a
// group's start ending the text, a final group of 2 or 3 giving 1 or 2 bytes.
#pragma once

#include <cstddef>
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

inline std::string PlainBase64Encode(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = uint32_t(uint8_t(bytes[i])) << 16;
    if (i + 1 < bytes.size()) n |= uint32_t(uint8_t(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) n |= uint8_t(bytes[i + 2]);
    out += kAlphabet[n >> 18];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
  }
  return out;
}
