// DEscapeUrl with every flag value: the escaped text unescapes back to the
// input, and agrees with the plain byte rule where no URL parsing is asked.
#include <cstring>

#include "tests/fuzz/fuzz_text.h"
#include "zevar/durl.h"

namespace {

bool Unsafe(unsigned char c) {
  return c < 0x20 || c >= 0x7F || std::strchr(" \"#$%&+,;<=>?@[\\]^`{|}", c);
}

// The plain rule over the text's UTF-8 bytes (no canonical form).
std::u16string Escaped(const std::string& utf8, uint32_t flags) {
  std::string out;
  bool escaping = true;
  for (unsigned char c : utf8) {
    if ((flags & kEscapeUrlBrowser) && (c == '?' || c == '#')) escaping = false;
    if (escaping && Unsafe(c) && (!(flags & kEscapeUrlSpacesOnly) || c == ' ') &&
        (c != '%' || (flags & kEscapeUrlPercent))) {
      out += '%';
      out += "0123456789abcdef"[c >> 4];
      out += "0123456789abcdef"[c & 15];
    } else {
      out += char(c);
    }
  }
  return Wide(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint32_t flags = data[0] & 15;
  std::u16string text = FuzzText(data + 1, size - 1);
  DWString result;
  FUZZ_CHECK(result.Assign(u"stale"));
  bool ok = DEscapeUrl(text.c_str(), &result, flags);
  FUZZ_CHECK(ok == !text.empty() && (ok || result.empty()));
  if (!ok) return 0;
  std::string utf8 = Utf8(text);
  if (!(flags & kEscapeUrlCanonical)) {
    FUZZ_CHECK(Escaped(utf8, flags) == Str(result));
    // Round trip: back to the text (unpaired surrogates read as U+FFFD).
    DWString back;
    if (flags == kEscapeUrlPercent)
      FUZZ_CHECK(DUnescapeUrl(result.c_str(), &back) && Str(back) == Wide(utf8));
  } else if (!(flags & (kEscapeUrlBrowser | kEscapeUrlSpacesOnly))) {
    // Canonical or not, every unsafe byte is escaped.
    for (char16_t c : Str(result))
      FUZZ_CHECK(c < 0x7F && (c == u'%' || !Unsafe(static_cast<unsigned char>(c))));
  }
  return 0;
}
