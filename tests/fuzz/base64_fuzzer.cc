// The Base64 decode copy against the plain rule, whatever the 2048-byte
// pieces cut. Zero bytes (which end a piece) only have to be survived. Odd
// first byte: into a fixed buffer of exactly the decoded size, and one byte
// short of it.
#include <string>

#include "tests/fuzz/base64_plain.h"
#include "tests/fuzz/fuzz_text.h"
#include "zevar/dbase64.h"
#include "zevar/dmemstream.h"

namespace {

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
  std::string expected = PlainBase64Decode(text);
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
