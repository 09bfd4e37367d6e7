#include "zevar/durl.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The result, or "<failed>" with a check that the result was left empty.
std::u16string Escape(const char16_t* text, uint32_t flags) {
  DWString result;
  EXPECT_TRUE(result.Assign(u"stale"));
  if (!DEscapeUrl(text, &result, flags)) {
    EXPECT_EQ(result.length(), 0u);
    return u"<failed>";
  }
  return result.c_str();
}

std::u16string Unescape(const char16_t* text) {
  DWString result;
  EXPECT_TRUE(result.Assign(u"stale"));
  if (!DUnescapeUrl(text, &result)) {
    EXPECT_EQ(result.length(), 0u);
    return u"<failed>";
  }
  return result.c_str();
}

}  // namespace

TEST(DEscapeUrlTest, HostFlagsEscapeEveryUnsafeByteInLowerCaseHex) {
  EXPECT_EQ(Escape(u"a b%", 4), u"a%20b%25");
  EXPECT_EQ(Escape(u"~/:AZaz09-_.!'()*", 4), u"~/:AZaz09-_.!'()*");
  EXPECT_EQ(Escape(u"\"#$&+,;<=>?@[\\]^`{|}", 4),
            u"%22%23%24%26%2b%2c%3b%3c%3d%3e%3f%40%5b%5c%5d%5e%60%7b%7c%7d");
  EXPECT_EQ(Escape(u"\t\x7f\u00e9\u20ac", 4), u"%09%7f%c3%a9%e2%82%ac");
  EXPECT_EQ(Escape(u"\U0001F600", 4), u"%f0%9f%98%80");
  EXPECT_EQ(Escape(u"", 4), u"<failed>");
  EXPECT_EQ(Escape(nullptr, 4), u"<failed>");
}

TEST(DEscapeUrlTest, FlagsChooseWhatIsEscaped) {
  EXPECT_EQ(Escape(u"a b%c&", 0), u"a%20b%c%26");              // '%' kept
  EXPECT_EQ(Escape(u"a b%c&\u00e9", 2), u"a%20b%c&\u00e9");    // spaces only
  EXPECT_EQ(Escape(u"a b%c&", 2 | 4), u"a%20b%c&");            // still spaces only
  EXPECT_EQ(Escape(u"a b?c d#e f", 1 | 4), u"a%20b?c d#e f");  // browser: not after '?'
  EXPECT_EQ(Escape(u"a#b c", 1), u"a#b c");
}

TEST(DEscapeUrlTest, CanonicalFormTurnsBackslashesAndResolvesDotSegments) {
  EXPECT_EQ(Escape(u"http://host\\a\\b\\..\\c", 8), u"http://host/a/c");
  EXPECT_EQ(Escape(u"http://host/a/./b/../../../c/.", 8), u"http://host/c/");
  EXPECT_EQ(Escape(u"http://host/a/b/..?x=\\..", 8 | 4), u"http://host/a/%3fx%3d%5c..");
  EXPECT_EQ(Escape(u"http://host/a/b/..?x=\\..", 8 | 4 | 1), u"http://host/a/?x=\\..");
  EXPECT_EQ(Escape(u"file:///C:/dir/../../x y", 8 | 4), u"file:///C:/x%20y");
  EXPECT_EQ(Escape(u"a/b/../c", 8), u"a/c");
  EXPECT_EQ(Escape(u"a b", 8 | 2), u"a%20b");
}

TEST(DEscapeUrlTest, ResultIsNotBoundByTheInputLength) {
  // Each euro sign is three UTF-8 bytes, nine characters escaped: far more
  // than three per input character.
  std::u16string euros(1000, u'\u20ac');
  std::u16string expected;
  for (int i = 0; i < 1000; ++i) expected += u"%e2%82%ac";
  EXPECT_EQ(Escape(euros.c_str(), 4), expected);
}

TEST(DUnescapeUrlTest, DecodesEscapesOfEitherCaseAsUtf8) {
  EXPECT_EQ(Unescape(u"%E2%82%AC"), u"\u20ac");
  EXPECT_EQ(Unescape(u"%e2%82%ac%20a+b"), u"\u20ac a+b");
  EXPECT_EQ(Unescape(u"caf\u00e9%2f"), u"caf\u00e9/");
  EXPECT_EQ(Unescape(u""), u"");
  EXPECT_EQ(Unescape(u"%ff"), u"\ufffd");  // not UTF-8
}

TEST(DUnescapeUrlTest, FailsOnIncompleteEscapesAndNul) {
  for (const char16_t* text : {u"abc%", u"%4", u"%4g", u"%g4", u"a%00b", u"%%41"}) {
    EXPECT_EQ(Unescape(text), u"<failed>") << std::string(text, text + 3);
  }
  // The round trip of an escaped text gives it back.
  std::u16string text = u"a b%c\u00e9/\U0001F600?";
  DWString escaped;
  ASSERT_TRUE(DEscapeUrl(text.c_str(), &escaped, 4));
  EXPECT_EQ(Unescape(escaped.c_str()), text);
}
