// DUnescapeUrl against the plain rule: "%xx" becomes its byte, a '%' without
// two hexadecimal digits or "%00" fails the whole text, and the bytes are
// read as UTF-8. A text that unescapes also survives escaping and back.
#include <cctype>

#include "tests/fuzz/fuzz_text.h"
#include "zevar/durl.h"

namespace {

bool Unescaped(const std::string& in, std::string* out) {
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      *out += in[i];
      continue;
    }
    if (i + 2 >= in.size() || !std::isxdigit(uint8_t(in[i + 1])) ||
        !std::isxdigit(uint8_t(in[i + 2])))
      return false;
    char byte = char(std::stoi(in.substr(i + 1, 2), nullptr, 16));
    if (byte == 0) return false;
    *out += byte;
    i += 2;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = FuzzText(data, size);
  std::string bytes;
  bool ok = Unescaped(Utf8(text), &bytes);
  DWString result, escaped, back;
  FUZZ_CHECK(result.Assign(u"stale"));
  FUZZ_CHECK(DUnescapeUrl(text.c_str(), &result) == ok);
  FUZZ_CHECK(Str(result) == (ok ? Wide(bytes) : u""));  // a failure empties the result
  if (result.empty()) return 0;
  FUZZ_CHECK(DEscapeUrl(result.c_str(), &escaped, kEscapeUrlPercent));
  FUZZ_CHECK(DUnescapeUrl(escaped.c_str(), &back) && Str(back) == Str(result));
  return 0;
}
