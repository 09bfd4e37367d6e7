#include "zevar/dcodepage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[*at], moving *at past it; invalid or
// truncated sequences yield U+FFFD for their longest valid prefix.
char32_t DecodeUtf8(const unsigned char* text, uint32_t length, uint32_t* at) {
  unsigned char lead = text[*at];
  ++*at;
  if (lead < 0x80) return lead;
  int extra;
  char32_t cp, low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < extra; ++i) {
    if (*at >= length) return kReplacement;
    unsigned char next = text[*at];
    if (next < low || next > high) return kReplacement;
    low = 0x80, high = 0xBF;
    cp = cp << 6 | (next & 0x3F);
    ++*at;
  }
  return cp;
}

}  // namespace

bool DWideToUtf8(const DWChar* text, uint32_t length, DString* utf8) {
  utf8->Empty();
  if (!utf8->Reserve(length)) return false;
  for (uint32_t i = 0; i < length; ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    char bytes[4];
    uint32_t n;
    if (cp < 0x80) {
      bytes[0] = char(cp), n = 1;
    } else if (cp < 0x800) {
      bytes[0] = char(0xC0 | cp >> 6), bytes[1] = char(0x80 | (cp & 0x3F)), n = 2;
    } else if (cp < 0x10000) {
      bytes[0] = char(0xE0 | cp >> 12), bytes[1] = char(0x80 | ((cp >> 6) & 0x3F));
      bytes[2] = char(0x80 | (cp & 0x3F)), n = 3;
    } else {
      bytes[0] = char(0xF0 | cp >> 18), bytes[1] = char(0x80 | ((cp >> 12) & 0x3F));
      bytes[2] = char(0x80 | ((cp >> 6) & 0x3F)), bytes[3] = char(0x80 | (cp & 0x3F)), n = 4;
    }
    if (!utf8->Append(bytes, n)) {
      utf8->Empty();
      return false;
    }
  }
  return true;
}

bool DUtf8ToWide(const char* text, uint32_t length, DWString* wide) {
  wide->Empty();
  if (!wide->Reserve(length)) return false;
  // Every UTF-8 byte yields at most one UTF-16 unit, so the room suffices.
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  DWChar* out = wide->data();
  uint32_t count = 0;
  for (uint32_t at = 0; at < length;) {
    char32_t cp = DecodeUtf8(bytes, length, &at);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out[count++] = DWChar(0xD800 + (cp >> 10));
      out[count++] = DWChar(0xDC00 + (cp & 0x3FF));
    } else {
      out[count++] = DWChar(cp);
    }
  }
  wide->SetLength(count);
  return true;
}

bool DWideToAnsi(const DWChar* text, uint32_t length, DString* ansi) {
#ifdef _WIN32
  ansi->Empty();
  if (length == 0) return ansi->Reserve(0);
  const wchar_t* w = reinterpret_cast<const wchar_t*>(text);
  int need = WideCharToMultiByte(CP_ACP, 0, w, int(length), nullptr, 0, nullptr, nullptr);
  if (need <= 0 || !ansi->Reserve(uint32_t(need))) return false;
  WideCharToMultiByte(CP_ACP, 0, w, int(length), ansi->data(), need, nullptr, nullptr);
  ansi->SetLength(uint32_t(need));
  return true;
#else
  return DWideToUtf8(text, length, ansi);
#endif
}
