// Conversions between UTF-8 (and the ANSI code page) and UTF-16 text.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

// UTF-8 to UTF-16, as MultiByteToWideChar with the UTF-8 code page does it:
// an invalid sequence becomes U+FFFD. The output is emptied first.
[[nodiscard]] bool DUtf8ToWide(const char* text, uint32_t length, DWString* wide);
[[nodiscard]] inline bool DUtf8ToWide(const char* text, DWString* wide) {
  return DUtf8ToWide(text, DString::Length(text), wide);
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
[[nodiscard]] bool DWideToUtf8(const DWChar* text, uint32_t length, DString* utf8);

// UTF-16 to the ANSI code page (Windows), or to UTF-8 where there is none.
[[nodiscard]] bool DWideToAnsi(const DWChar* text, uint32_t length, DString* ansi);
