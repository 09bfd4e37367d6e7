// What the text helpers' fuzz targets share: the input read as UTF-16 text,
// conversions that must not fail, and the check that stops the run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "zevar/dcodepage.h"
#include "zevar/dstring.h"

// Stops the run with the input saved when an oracle disagrees.
#define FUZZ_CHECK(condition)       \
  do {                              \
    if (!(condition)) std::abort(); \
  } while (0)

// Fuzz bytes as UTF-16 text: pairs of bytes, little endian, up to the first
// zero unit.
inline std::u16string FuzzText(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t unit = char16_t(data[i] | data[i + 1] << 8);
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

// The text's parts between the U+0001 units that cut it; at least `count`.
inline std::vector<std::u16string> FuzzParts(const std::u16string& text, size_t count = 1) {
  std::vector<std::u16string> parts;
  for (size_t at = 0, end; at <= text.size(); at = end + 1) {
    end = std::min(text.find(u'\1', at), text.size());
    parts.push_back(text.substr(at, end - at));
  }
  if (parts.size() < count) parts.resize(count);
  return parts;
}

inline std::u16string Str(const DWString& text) { return {text.c_str(), text.length()}; }

inline std::string Utf8(const std::u16string& text) {
  DString utf8;
  FUZZ_CHECK(DWideToUtf8(text.c_str(), uint32_t(text.size()), &utf8));
  return {utf8.c_str(), utf8.length()};
}

inline std::u16string Wide(const std::string& utf8) {
  DWString wide;
  FUZZ_CHECK(DUtf8ToWide(utf8.data(), uint32_t(utf8.size()), &wide));
  return Str(wide);
}
