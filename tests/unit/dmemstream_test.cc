#include "zevar/dmemstream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

TEST(DMemoryStreamTest, ReadsWritesAndSeeksWithinTheSize) {
  DMemoryStream s;
  ASSERT_EQ(s.Create(0, -2), kDOk);
  uint32_t done = 0;
  ASSERT_EQ(s.Write("hello world", 11, &done), kDOk);
  EXPECT_EQ(done, 11u);
  EXPECT_EQ(s.GetPosition(), 11u);
  EXPECT_EQ(s.SetSize(0x80000000ull), kDInvalidArgument);
  EXPECT_EQ(s.GetSize(), 11u);

  char out[16] = {};
  EXPECT_EQ(s.Read(out, 4, &done), kDEndOfStream);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(s.Seek(kDSeekEnd, 0), kDOk);
  EXPECT_EQ(s.Seek(kDSeekBegin, 12), kDSeekOutOfRange);
  EXPECT_EQ(s.Seek(kDSeekCurrent, -12), kDSeekOutOfRange);
  EXPECT_EQ(s.Seek(7, 0), kDBadSeekOrigin);
  EXPECT_EQ(s.Seek(kDSeekEnd, -5), kDOk);
  ASSERT_EQ(s.Read(out, 16, &done), kDOk);
  EXPECT_EQ(std::string(out, done), "world");

  ASSERT_EQ(s.ReadAt(out, 5, kDSeekBegin, 0, &done), kDOk);
  EXPECT_EQ(std::string(out, done), "hello");
  EXPECT_EQ(s.GetPosition(), 11u);

  // Shrinking pulls the position back; Flush gives the room back.
  ASSERT_EQ(s.SetSize(5), kDOk);
  EXPECT_EQ(s.GetPosition(), 5u);
  ASSERT_EQ(s.Flush(), kDOk);
  EXPECT_EQ(s.GetCapacity(), 5u);
  EXPECT_EQ(std::memcmp(s.GetBuffer(), "hello", 5), 0);

  ASSERT_EQ(s.Close(), kDOk);
  EXPECT_FALSE(s.IsOpen());
  EXPECT_EQ(s.GetSize(), 0u);
  EXPECT_EQ(s.Read(out, 1, &done), kDNotOpen);
  EXPECT_EQ(s.Write("x", 1, &done), kDNotOpen);
}

TEST(DBufferStreamTest, NeverGrowsAndHonoursItsAccess) {
  char bytes[8] = "abcdefg";
  DBufferStream s;
  EXPECT_EQ(s.Attach(bytes, 7, 0), kDAccessDenied);
  ASSERT_EQ(s.Attach(bytes, 7, kDRead), kDOk);
  uint32_t done = 0;
  EXPECT_EQ(s.Write("x", 1, &done), kDAccessDenied);
  EXPECT_EQ(s.SetMode(kDWrite), kDNotSupported);

  ASSERT_EQ(s.Attach(bytes, 7, kDWrite), kDOk);
  EXPECT_EQ(s.GetKind(), uint32_t(kDKindBuffer));
  ASSERT_EQ(s.Seek(kDSeekBegin, 5), kDOk);
  ASSERT_EQ(s.Write("XYZ", 3, &done), kDOk);
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(s.Write("Q", 1, &done), kDEndOfStream);
  EXPECT_STREQ(bytes, "abcdeXY");
  EXPECT_EQ(s.SetSize(8), kDInvalidArgument);

  EXPECT_EQ(s.Close(), kDOk);
  EXPECT_FALSE(s.IsOpen());
  EXPECT_STREQ(bytes, "abcdeXY");  // still the caller's
}

TEST(DStreamTest, ClonesShareTheDataUntilTheLastLetsGo) {
  auto s = std::make_unique<DMemoryStream>();
  ASSERT_EQ(s->Create(0, -2), kDOk);
  uint32_t done = 0;
  ASSERT_EQ(s->Write("shared", 6, &done), kDOk);
  std::unique_ptr<DStream> copy(s->Clone());
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->SharesDataWith(*s));
  EXPECT_EQ(copy->GetPosition(), 0u);
  s.reset();  // the copy still holds the buffer (ASan would see a use after free)
  char out[6];
  ASSERT_EQ(copy->Read(out, 6, &done), kDOk);
  EXPECT_EQ(std::string(out, 6), "shared");

  copy->Detach();
  EXPECT_FALSE(copy->IsOpen());
}

TEST(DStreamTest, ComparesAndCopiesBetweenStreams) {
  std::vector<uint8_t> a(10000), b;
  for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t(i * 7);
  b = a;
  b[9000] ^= 1;
  DBufferStream sa, sb;
  ASSERT_EQ(sa.Attach(a.data(), a.size(), kDRead), kDOk);
  ASSERT_EQ(sb.Attach(b.data(), b.size(), kDRead), kDOk);
  bool same = false;
  EXPECT_EQ(sa.Compare(0, 0, &sb, 0, &same), kDNothingDone);
  ASSERT_EQ(sa.Compare(9000, 0, &sb, 0, &same), kDOk);
  EXPECT_TRUE(same);
  ASSERT_EQ(sa.Compare(9001, 0, &sb, 0, &same), kDOk);
  EXPECT_FALSE(same);
  EXPECT_EQ(sa.Compare(10, 9995, &sb, 0, &same), kDShortCompareRead);

  DMemoryStream copy;
  ASSERT_EQ(copy.Create(0, -2), kDOk);
  uint64_t moved = 0;
  ASSERT_EQ(sa.Seek(kDSeekBegin, 1000), kDOk);
  ASSERT_EQ(sa.WriteTo(&copy, kDSeekBegin, 0, 20000, &moved), kDOk);
  EXPECT_EQ(moved, 9000u);
  ASSERT_EQ(copy.GetSize(), 9000u);
  EXPECT_EQ(std::memcmp(copy.GetBuffer(), a.data() + 1000, 9000), 0);

  // Ending exactly on a piece boundary is still a complete copy.
  ASSERT_EQ(sa.Seek(kDSeekEnd, -8192), kDOk);
  ASSERT_EQ(sa.WriteTo(&copy, kDSeekEnd, 0, 10000, &moved), kDOk);
  EXPECT_EQ(moved, 8192u);
  EXPECT_EQ(copy.GetSize(), 9000u + 8192u);
}
