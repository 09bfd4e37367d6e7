// DUnescapeUrl against the plain rule: "%xx" becomes its byte, a '%' without
// two hexadecimal digits or "%00" fails the whole text, and the bytes are
// read as UTF-8. A text that unescapes also survives escaping and back.
#include <string>

#include "tests/fuzz/fuzz_text.h"
#include "zevar/dcodepage.h"
#include "zevar/durl.h"

namespace {

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescaped(const std::string& in, std::string* out) {
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      *out += in[i];
      continue;
    }
    if (i + 2 >= in.size()) return false;
    int high = Hex(in[i + 1]), low = Hex(in[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
    *out += char(high * 16 + low);
    i += 2;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = FuzzText(data, size);
  DString utf8;
  FUZZ_CHECK(DWideToUtf8(text.c_str(), uint32_t(text.size()), &utf8));
  std::string bytes;
  bool expected_ok = Unescaped(std::string(utf8.c_str(), utf8.length()), &bytes);
  DWString result;
  bool ok = DUnescapeUrl(text.c_str(), &result);
  FUZZ_CHECK(ok == expected_ok);
  if (!ok) {
    FUZZ_CHECK(result.empty());
    return 0;
  }
  DWString expected;
  FUZZ_CHECK(DUtf8ToWide(bytes.data(), uint32_t(bytes.size()), &expected));
  FUZZ_CHECK(std::u16string(result.c_str()) == expected.c_str());
  if (!result.empty()) {
    DWString escaped, back;
    FUZZ_CHECK(DEscapeUrl(result.c_str(), &escaped, kEscapeUrlPercent));
    FUZZ_CHECK(DUnescapeUrl(escaped.c_str(), &back));
    FUZZ_CHECK(std::u16string(back.c_str()) == result.c_str());
  }
  return 0;
}
