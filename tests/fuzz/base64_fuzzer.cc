// The Base64 decode copy against the plain rule: the alphabet's characters
// taken in groups of four, everything else skipped, a final group of 2 or 3
// giving 1 or 2 bytes, whatever the 2048-byte pieces cut. Zero bytes (which
// end a piece) only have to be survived. Odd first byte: into a fixed
// buffer of exactly the decoded size, and one byte short of it.
#include <string>

#include "tests/fuzz/fuzz_text.h"
#include "zevar/dbase64.h"
#include "zevar/dmemstream.h"

namespace {

std::string Decoded(const std::string& text) {
  std::string out;
  uint32_t group = 0;
  int k = 0;
  for (unsigned char c : text) {
    int v = c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26
          : c >= '0' && c <= '9' ? c - '0' + 52 : c == '+' ? 62 : c == '/' ? 63 : -1;
    if (v < 0) continue;
    group = group << 6 | uint32_t(v);
    if (++k == 4) {
      out += char(group >> 16);
      out += char(group >> 8);
      out += char(group);
      group = 0;
      k = 0;
    }
  }
  if (k >= 2) out += char(group >> (6 * k - 8));
  if (k == 3) out += char(group >> 2);
  return out;
}

int32_t Copy(std::string text, DStream* destination) {
  DBufferStream source;
  FUZZ_CHECK(source.Attach(&text[0], text.size(), kDRead) == kDOk);
  return DBase64DecodeCopy(destination, &source, text.size(), 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  bool keep_zeros = data[0] & 2;
  if (!keep_zeros)
    for (char& c : text)
      if (c == 0) c = '\n';
  DMemoryStream grown;
  FUZZ_CHECK(grown.Create(0, -2) == kDOk);
  FUZZ_CHECK(Copy(text, &grown) == kDOk);
  std::string got(static_cast<const char*>(grown.GetBuffer()), size_t(grown.GetSize()));
  if (keep_zeros) {
    FUZZ_CHECK(got.size() <= text.size() * 3 / 4 + 2);
    return 0;
  }
  std::string expected = Decoded(text);
  FUZZ_CHECK(got == expected);
  if ((data[0] & 1) && !expected.empty()) {
    std::string room(expected.size(), '\0');
    DBufferStream exact;
    FUZZ_CHECK(exact.Attach(&room[0], room.size(), kDWrite) == kDOk);
    FUZZ_CHECK(Copy(text, &exact) == kDOk && room == expected);
    DBufferStream short_by_one;
    FUZZ_CHECK(short_by_one.Attach(&room[0], room.size() - 1, kDWrite) == kDOk);
    FUZZ_CHECK(Copy(text, &short_by_one) == kDBase64Overflow);
  }
  return 0;
}
