#include "zevar/dcodepage.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

TEST(CodePageTest, ConvertsBothWaysAndReplacesWhatIsNotText) {
  // Invalid or truncated sequences, overlong forms, encoded surrogates and
  // code points past U+10FFFF become U+FFFD.
  const std::pair<std::string, std::u16string> to_wide[] = {
      {"a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z", u"a\u00e9\u20ac\U0001F600z"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"\xff", u"\uFFFD"},
      {"a\xc3", u"a\uFFFD"},
      {"\xc0\xaf", u"\uFFFD\uFFFD"},
      {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"\xe2\x82\x41", u"\uFFFDA"},
      {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}};
  for (const auto& [utf8, wide] : to_wide) {
    DWString out;
    ASSERT_TRUE(DUtf8ToWide(utf8.data(), uint32_t(utf8.size()), &out));
    EXPECT_EQ(std::u16string(out.c_str(), out.length()), wide) << utf8;
  }
  // Valid text goes back as it came; an unpaired surrogate becomes U+FFFD.
  const std::pair<std::u16string, std::string> to_utf8[] = {{to_wide[0].second, to_wide[0].first},
                                                            {u"\xD800x", "\xef\xbf\xbdx"},
                                                            {u"\xDC00", "\xef\xbf\xbd"}};
  for (const auto& [wide, utf8] : to_utf8) {
    DString out;
    ASSERT_TRUE(DWideToUtf8(wide.data(), uint32_t(wide.size()), &out));
    EXPECT_EQ(std::string(out.c_str(), out.length()), utf8);
  }
}
