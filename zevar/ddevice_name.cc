#include "zevar/ddevice_name.h"

#include <initializer_list>

namespace {

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

// The first length units of text are the word, ASCII case aside.
bool SameNoCase(const char16_t* text, const char* word, uint32_t length) {
  uint32_t i = 0;
  for (; i < length && word[i]; ++i)
    if (Upper(text[i]) != char16_t(word[i])) return false;
  return i == length && word[i] == 0;
}

bool IsPortDigit(char16_t c) {
  return (c >= u'1' && c <= u'9') || c == u'\u00b9' || c == u'\u00b2' || c == u'\u00b3';
}

}  // namespace

uint32_t DDeviceNameLength(const char16_t* name, uint32_t length) {
  uint32_t base = 0;
  while (base < length && name[base] != u'.' && name[base] != u':') ++base;
  while (base > 0 && name[base - 1] == u' ') --base;
  for (const char* word : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (SameNoCase(name, word, base)) return base;
  if (base == 4 && IsPortDigit(name[3]) &&
      (SameNoCase(name, "COM", 3) || SameNoCase(name, "LPT", 3)))
    return base;
  return 0;
}
