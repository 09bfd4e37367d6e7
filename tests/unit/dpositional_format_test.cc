// Known answers; tests/fuzz/positional_format_fuzzer.cc checks every template
// and set of arguments against the plain rule.
#include "zevar/dpositional_format.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

TEST(DPositionalFormatTest, FillsPlaceholdersOnceBuilt) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"/A \"%1\"", u"/A \"X\""},
      {u"%%%1%%%%", u"%X%%"},
      {u"%12x%0 %3%", u"Zx "},
      {u"plain", u"plain"},
  };
  for (const auto& [pattern, result] : cases) {
    DWString text;
    ASSERT_TRUE(text.Assign(pattern));
    DPositionalFormat format(std::move(text));
    ASSERT_TRUE(format.SetArgument(1, u"X") && format.SetArgument(12, u"Z"));
    EXPECT_EQ(std::u16string(format.text().c_str()), pattern);  // the template until built
    ASSERT_TRUE(format.Build());
    EXPECT_EQ(std::u16string(format.text().c_str()), result);
    // A null argument is empty text.
    ASSERT_TRUE(format.SetArgument(1, nullptr) && format.Build());
    EXPECT_EQ(std::u16string(format.text().c_str()).find(u'X'), std::u16string::npos);
  }
}
