#include "zevar/dstring.h"

#include <gtest/gtest.h>

TEST(DStringTest, AppendsAndAssignsAPartOfItself) {
  DString s;
  ASSERT_TRUE(s.Assign("hello"));
  ASSERT_TRUE(s.Append(" world"));
  EXPECT_STREQ(s.c_str(), "hello world");
  ASSERT_TRUE(s.Assign(s.c_str() + 6, 5));
  EXPECT_STREQ(s.c_str(), "world");
}

TEST(DStringTest, RequestsBeyondTheLimitFailAndLeaveTheString) {
  DString s;
  ASSERT_TRUE(s.Assign("keep"));
  EXPECT_FALSE(s.Reserve(0x7FFFFFFF));
  volatile uint32_t too_many = 0x7FFFFFFE - 3;  // one past what fits behind "keep"
  EXPECT_FALSE(s.Append("x", too_many));
  EXPECT_STREQ(s.c_str(), "keep");
  EXPECT_EQ(s.length(), 4u);
  DWString w;
  EXPECT_FALSE(w.Reserve(0x3FFFFFFF));
  EXPECT_EQ(w.data(), nullptr);
}

TEST(DStringTest, ANeverSetStringReadsAsEmptyTextAndEmptyKeepsTheBuffer) {
  DWString w;
  EXPECT_EQ(w.c_str()[0], 0);
  EXPECT_EQ(w.data(), nullptr);
  ASSERT_TRUE(w.Assign(u"text"));
  const DWChar* buffer = w.data();
  w.Empty();
  EXPECT_EQ(w.data(), buffer);
  EXPECT_EQ(w.c_str()[0], 0);
  w.Release();
  EXPECT_EQ(w.data(), nullptr);
  EXPECT_EQ(w.capacity(), 0u);
}
