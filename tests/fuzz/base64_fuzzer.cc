// The Base64 decoders against the plain rule: one piece decoded in place, and
// the stream copy in its 2048-byte pieces. Bit 2 of the first byte keeps the
// zeros (which end a piece); bit 1 also copies into a buffer of exactly the
// decoded size, and into one a byte short of it.
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
  if (!(data[0] & 2))
    for (char& c : text)
      if (c == 0) c = '\n';
  std::string piece = text;
  uint32_t made = DBase64DecodePiece(reinterpret_cast<uint8_t*>(&piece[0]), uint32_t(piece.size()));
  FUZZ_CHECK(piece.substr(0, made) == PlainBase64Decode(text));
  DMemoryStream grown;
  FUZZ_CHECK(grown.Create(0, -2) == kDOk);
  FUZZ_CHECK(Copy(text, &grown) == kDOk);
  std::string expected = PlainBase64Decode(text, 2048);
  FUZZ_CHECK(std::string(static_cast<const char*>(grown.GetBuffer()), size_t(grown.GetSize())) ==
             expected);
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
