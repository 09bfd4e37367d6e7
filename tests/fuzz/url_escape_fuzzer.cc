// DEscapeUrl with every flag value: the escaped text unescapes back to the
// input, and agrees with the plain byte rule where no URL parsing is asked.
#include <cstring>
#include <string>

#include "tests/fuzz/fuzz_text.h"
#include "zevar/dcodepage.h"
#include "zevar/durl.h"

namespace {

bool Unsafe(unsigned char c) {
  return c < 0x20 || c >= 0x7F || std::strchr(" \"#$%&+,;<=>?@[\\]^`{|}", c);
}

// The plain rule over the text's UTF-8 bytes (no canonical form).
std::u16string Escaped(const DString& utf8, uint32_t flags) {
  std::string out;
  bool escaping = true;
  for (uint32_t i = 0; i < utf8.length(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8.c_str()[i]);
    if ((flags & kEscapeUrlBrowser) && (c == '?' || c == '#')) escaping = false;
    bool escape = escaping && Unsafe(c) && (!(flags & kEscapeUrlSpacesOnly) || c == ' ') &&
                  (c != '%' || (flags & kEscapeUrlPercent));
    if (escape) {
      out += '%';
      out += "0123456789abcdef"[c >> 4];
      out += "0123456789abcdef"[c & 15];
    } else {
      out += char(c);
    }
  }
  DWString wide;
  FUZZ_CHECK(DUtf8ToWide(out.data(), uint32_t(out.size()), &wide));
  return wide.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint32_t flags = data[0] & 15;
  std::u16string text = FuzzText(data + 1, size - 1);
  DWString result;
  bool ok = DEscapeUrl(text.c_str(), &result, flags);
  FUZZ_CHECK(ok == !text.empty());
  if (!ok) return 0;
  DString utf8;
  FUZZ_CHECK(DWideToUtf8(text.c_str(), uint32_t(text.size()), &utf8));
  if (!(flags & kEscapeUrlCanonical)) {
    FUZZ_CHECK(Escaped(utf8, flags) == result.c_str());
    if ((flags & ~kEscapeUrlCanonical) == kEscapeUrlPercent) {
      // Round trip: back to the text (unpaired surrogates read as U+FFFD).
      DWString back, expected;
      FUZZ_CHECK(DUnescapeUrl(result.c_str(), &back));
      FUZZ_CHECK(DUtf8ToWide(utf8.c_str(), utf8.length(), &expected));
      FUZZ_CHECK(std::u16string(back.c_str()) == expected.c_str());
    }
  } else if (!(flags & (kEscapeUrlBrowser | kEscapeUrlSpacesOnly))) {
    // Canonical or not, every unsafe byte is escaped.
    for (uint32_t i = 0; i < result.length(); ++i) {
      char16_t c = result.c_str()[i];
      FUZZ_CHECK(c < 0x7F && (c == u'%' || !Unsafe(static_cast<unsigned char>(c))));
    }
  }
  return 0;
}
