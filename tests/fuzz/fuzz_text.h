// Fuzz bytes as the UTF-16 text the helpers take: pairs of bytes, little
// endian, up to the first zero unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

inline std::u16string FuzzText(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t unit = char16_t(data[i] | data[i + 1] << 8);
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

// Stops the run with the input saved when an oracle disagrees.
#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) std::abort(); \
  } while (0)
