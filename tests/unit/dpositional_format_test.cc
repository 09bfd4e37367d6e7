#include "zevar/dpositional_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

DWString Text(const char16_t* text) {
  DWString s;
  EXPECT_TRUE(s.Assign(text));
  return s;
}

}  // namespace

TEST(DPositionalFormatTest, FillsNumberedPlaceholdersAndPercentRuns) {
  struct Case {
    const char16_t* pattern;
    const char16_t* result;  // argument 1 = "X", 2 = "Y", 12 = "Z"
  } cases[] = {
      {u"100%% %1", u"100% X"}, {u"%2-%1", u"Y-X"},    {u"/A \"%1\"", u"/A \"X\""},
      {u"%%%1%%%%", u"%X%%"},   {u"%%%%%1", u"%%X"},   {u"a%b", u"ab"},
      {u"%0 %", u" "},          {u"%01", u"X"},        {u"%12x", u"Zx"},
      {u"%3", u""},             {u"50%%", u"50%"},     {u"plain", u"plain"},
  };
  for (const Case& c : cases) {
    DPositionalFormat format(Text(c.pattern));
    ASSERT_TRUE(format.SetArgument(1, u"X") && format.SetArgument(2, u"Y") &&
                format.SetArgument(12, u"Z"));
    ASSERT_TRUE(format.Build());
    EXPECT_EQ(std::u16string(format.text().c_str()), c.result)
        << std::string(c.pattern, c.pattern + 4);
  }
  // Setting an argument again rebuilds the text.
  DPositionalFormat swapped(Text(u"%2-%1"));
  ASSERT_TRUE(swapped.SetArgument(1, u"one"));
  ASSERT_TRUE(swapped.Build());
  EXPECT_EQ(std::u16string(swapped.text().c_str()), u"-one");
  ASSERT_TRUE(swapped.SetArgument(1, u"1"));
  ASSERT_TRUE(swapped.Build());
  EXPECT_EQ(std::u16string(swapped.text().c_str()), u"-1");
}

TEST(DPositionalFormatTest, ArgumentNumbersAreBounded) {
  // A number takes at most 31 digits; a huge one names no argument.
  DPositionalFormat huge(Text((u"%" + std::u16string(31, u'9') + u"2").c_str()));
  ASSERT_TRUE(huge.SetArgument(1, u"X"));
  ASSERT_TRUE(huge.Build());
  EXPECT_EQ(std::u16string(huge.text().c_str()), u"2");

  DPositionalFormat format(Text(u"%1"));
  EXPECT_FALSE(format.SetArgument(0, u"x"));
  EXPECT_FALSE(format.SetArgument(DPositionalFormat::kMaxArgument + 1, u"x"));
  EXPECT_TRUE(format.SetArgument(1, nullptr));
  EXPECT_TRUE(format.Build());
  EXPECT_EQ(format.text().length(), 0u);
  // Before Build the template is the text.
  DPositionalFormat unbuilt(Text(u"%1!"));
  EXPECT_EQ(std::u16string(unbuilt.text().c_str()), u"%1!");
}
