#include "zevar/dcodepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string ToWide(const std::string& utf8) {
  DWString wide;
  EXPECT_TRUE(DUtf8ToWide(utf8.data(), uint32_t(utf8.size()), &wide));
  return std::u16string(wide.c_str(), wide.length());
}

std::string ToUtf8(const std::u16string& wide) {
  DString utf8;
  EXPECT_TRUE(DWideToUtf8(wide.data(), uint32_t(wide.size()), &utf8));
  return std::string(utf8.c_str(), utf8.length());
}

}  // namespace

TEST(CodePageTest, ValidTextRoundTrips) {
  const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z";
  EXPECT_EQ(ToWide(text), u"a\u00e9\u20ac\U0001F600z");
  EXPECT_EQ(ToUtf8(ToWide(text)), text);
  EXPECT_EQ(ToWide(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(CodePageTest, InvalidUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(ToWide("\xff"), u"\uFFFD");
  EXPECT_EQ(ToWide("a\xc3"), u"a\uFFFD");                // truncated
  EXPECT_EQ(ToWide("\xc0\xaf"), u"\uFFFD\uFFFD");         // overlong
  EXPECT_EQ(ToWide("\xed\xa0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(ToWide("\xe2\x82" "A"), u"\uFFFDA");
  EXPECT_EQ(ToWide("\xf4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
}

TEST(CodePageTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  std::u16string lone(1, char16_t(0xD800));
  EXPECT_EQ(ToUtf8(lone + u"x"), "\xef\xbf\xbdx");
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xef\xbf\xbd");
}
