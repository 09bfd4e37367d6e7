// What tests/fuzz/base64_fuzzer.cc, which checks the decoders against the
// plain rule, does not reach: real Base64, texts of many pieces, and the
// status of an empty copy or one from an offset.
#include "zevar/dbase64.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fuzz/base64_plain.h"
#include "zevar/dmemstream.h"

// Line breaks shift the groups against the 2048-byte pieces: a group cut by a
// piece's end goes on in the next piece, over many pieces.
TEST(DBase64Test, DecodesAcrossPiecesWhateverTheLineWidth) {
  std::string bytes = "Hello, world!";
  for (int i = 0; i < 20001; ++i) bytes += char(i * 31 + (i >> 8));
  std::string clean = PlainBase64Encode(bytes);
  ASSERT_EQ(clean.substr(0, 20) + clean.substr(clean.size() - 4), "SGVsbG8sIHdvcmxkIQAfLg==");
  for (size_t line : {size_t(1), size_t(76), size_t(2047)}) {
    std::string wrapped;
    for (size_t at = 0; at < clean.size(); at += line) wrapped += clean.substr(at, line) + "\r\n";
    DBufferStream source;
    DMemoryStream out;
    ASSERT_EQ(source.Attach(&wrapped[0], wrapped.size(), kDRead), kDOk);
    ASSERT_EQ(out.Create(0, -2), kDOk);
    EXPECT_EQ(DBase64DecodeCopy(&out, &source, wrapped.size(), 0), kDOk);
    EXPECT_EQ(std::string(static_cast<const char*>(out.GetBuffer()), size_t(out.GetSize())), bytes)
        << line;
  }
}

TEST(DBase64Test, ReportsEmptyCopiesAndReadsFromAnOffset) {
  std::string text = "TWFuTWFu";
  DBufferStream source;
  ASSERT_EQ(source.Attach(text.data(), text.size(), kDRead), kDOk);
  char out[3] = {};
  DBufferStream destination;
  ASSERT_EQ(destination.Attach(out, sizeof out, kDWrite), kDOk);
  EXPECT_EQ(DBase64DecodeCopy(&destination, &source, 0, 0), kDBase64Empty);
  EXPECT_EQ(DBase64DecodeCopy(&destination, &source, 4, 4), kDOk);
  EXPECT_EQ(std::string(out, 3), "Man");
  EXPECT_EQ(DBase64DecodeCopy(&destination, &source, 4, 9), kDSeekOutOfRange);
}
