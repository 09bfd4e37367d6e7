// DMakeSafeFileName against the plain rule, and never a device name out.
// Input: one byte of options (last component only, replacement), then text.
#include "tests/fuzz/fuzz_text.h"
#include "zevar/dpath.h"

namespace {

bool Unsafe(char16_t c) {
  return c < 0x20 || std::u16string(u"\"*/:<>?\\|").find(c) != std::u16string::npos;
}

// What Windows opens as a device: the part before the first '.' or ':',
// without trailing blanks, is one of these words, in any case.
bool IsDevice(const std::u16string& name) {
  std::u16string base = name.substr(0, name.find_first_of(u".:"));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  for (char16_t& c : base)
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
  for (const char16_t* word : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
    if (base == word) return true;
  for (const char16_t* port : {u"COM", u"LPT"})
    for (char16_t digit : u"123456789\u00b9\u00b2\u00b3")
      if (digit && base == std::u16string(port) + digit) return true;
  return false;
}

std::u16string Safe(std::u16string text, bool last_only, char16_t replacement) {
  if (replacement < 0x20) replacement = u' ';
  if (last_only) {
    size_t cut = text.find_last_of(u"\\/:");
    if (cut != std::u16string::npos) text.erase(0, cut + 1);
  }
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    out += Unsafe(text[i]) ? replacement : text[i];
  }
  if (IsDevice(out)) {
    std::u16string base = out.substr(0, out.find_first_of(u".:"));
    size_t word = base.find_last_not_of(u' ') + 1;
    out.insert(word, 1, u'_');
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool last_only = data[0] & 1;
  // Mostly the host's 0 (a blank), sometimes a printable character.
  char16_t replacement = data[0] & 2 ? char16_t(0x20 + (data[0] >> 2)) : 0;
  std::u16string text = FuzzText(data + 1, size - 1);
  DWString result;
  FUZZ_CHECK(result.Assign(u"stale"));
  DMakeSafeFileName(text.c_str(), &result, last_only, replacement);
  std::u16string safe = Str(result);
  FUZZ_CHECK(safe == Safe(text, last_only, replacement));
  FUZZ_CHECK(!IsDevice(safe));
  if (!Unsafe(replacement ? replacement : u' '))
    for (char16_t c : safe) FUZZ_CHECK(!Unsafe(c));
  return 0;
}
