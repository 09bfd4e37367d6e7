#include "zevar/dbase64.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fuzz/base64_plain.h"
#include "zevar/dmemstream.h"

namespace {

// Decodes text into a growable stream; the status goes to *status.
std::string Decode(std::string text, int32_t* status) {
  DBufferStream source;
  DMemoryStream out;
  EXPECT_EQ(source.Attach(text.data(), text.size(), kDRead), kDOk);
  EXPECT_EQ(out.Create(0, -2), kDOk);
  *status = DBase64DecodeCopy(&out, &source, text.size(), 0);
  return std::string(static_cast<const char*>(out.GetBuffer()), size_t(out.GetSize()));
}

}  // namespace

// Clean text, and text whose line breaks shift the groups against the
// 2048-byte pieces: a group cut by a piece's end goes on in the next piece.
TEST(DBase64Test, DecodesWhateverTheLengthAndLineWidth) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += char(i * 31 + (i >> 8));
  for (size_t n : {size_t(1), size_t(2), size_t(3), size_t(1536), size_t(1537),
                   bytes.size()}) {
    std::string clean = PlainBase64Encode(bytes.substr(0, n));
    for (size_t line : {clean.size(), size_t(76), size_t(1), size_t(2047)}) {
      std::string wrapped;
      for (size_t at = 0; at < clean.size(); at += line) wrapped += clean.substr(at, line) + "\r\n";
      int32_t status = 0;
      EXPECT_EQ(Decode(wrapped, &status), bytes.substr(0, n)) << n << " " << line;
      EXPECT_EQ(status, kDOk);
    }
  }
}

TEST(DBase64Test, SkipsPaddingLineBreaksAndBlanks) {
  int32_t status = 0;
  EXPECT_EQ(Decode("SGVs\r\nbG8s IHdv\ncmxk\tIQ==", &status), "Hello, world!");
  EXPECT_EQ(Decode("SGk=SGk=", &status), "Hi\x12\x1A");  // "=" skipped, not an end
  EXPECT_EQ(Decode("S=G=V=s", &status), "Hel");
  EXPECT_EQ(status, kDOk);
}

TEST(DBase64Test, AZeroAtAGroupStartEndsOnlyItsPiece) {
  std::string piece1 = PlainBase64Encode(std::string(1500, 'a'));  // 2000 characters
  std::string text = piece1 + std::string("TWFu") + '\0' + "junk";
  text.resize(2048, 'x');
  text += "TWFu";
  int32_t status = 0;
  EXPECT_EQ(Decode(text, &status), std::string(1500, 'a') + "ManMan");
  EXPECT_EQ(status, kDOk);
  // Inside a group a zero is skipped like any other stranger.
  EXPECT_EQ(Decode(std::string("TW\0Fu", 5), &status), "Man");
}

TEST(DBase64Test, ReportsEmptyCopiesAndOverflowingBuffers) {
  std::string text = "TWFuTWFu";
  DBufferStream source;
  ASSERT_EQ(source.Attach(text.data(), text.size(), kDRead), kDOk);
  char small[5] = {};
  DBufferStream out;
  ASSERT_EQ(out.Attach(small, sizeof small, kDWrite), kDOk);
  EXPECT_EQ(DBase64DecodeCopy(&out, &source, 0, 0), kDBase64Empty);
  EXPECT_EQ(DBase64DecodeCopy(&out, &source, text.size(), 0), kDBase64Overflow);

  char fits[3] = {};
  ASSERT_EQ(out.Attach(fits, sizeof fits, kDWrite), kDOk);
  EXPECT_EQ(DBase64DecodeCopy(&out, &source, 4, 4), kDOk);
  EXPECT_EQ(std::string(fits, 3), "Man");
  EXPECT_EQ(DBase64DecodeCopy(&out, &source, 4, 9), kDSeekOutOfRange);
}

// The fast path against the plain rule, on text where clean runs of every
// length meet skipped characters, zeros and tails at every alignment.
TEST(DBase64Test, FastPathAgreesWithThePlainRule) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 8; };
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    size_t length = next() % 300;
    for (size_t i = 0; i < length; ++i) {
      uint32_t r = next() % 100;
      text += r < 90 ? kAlphabet[next() % 64] : r < 97 ? "=\n \r"[next() % 4] : r < 99 ? '\xC3' : '\0';
    }
    std::string piece = text;
    uint32_t made = DBase64DecodePiece(reinterpret_cast<uint8_t*>(&piece[0]), uint32_t(piece.size()));
    ASSERT_EQ(piece.substr(0, made), PlainBase64Decode(text)) << round;
  }
}
