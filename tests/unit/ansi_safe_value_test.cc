// Values from requests on the editor's and the converter's command lines:
// every character listed for any code page is made safe, and a value too long
// for its room is cut where a reader still finds whole characters and escapes.
#include "launch/ansi_safe_value.h"

#include <gtest/gtest.h>

#include <string>

#include "launch/ansi_unsafe_table.h"
#include "zevar/durl.h"

namespace {

std::u16string Form(const std::u16string& text, ValueKind kind, uint32_t room = UINT32_MAX) {
  ValueFit fit = FitValue(text.c_str(), uint32_t(text.size()), kind, room);
  DWString out;
  EXPECT_TRUE(AppendValue(&out, text.c_str(), fit, kind));
  EXPECT_EQ(out.length(), fit.units);
  return out.c_str();
}

uint8_t Hazards(char16_t unit) {
  uint8_t hazards = 0;
  for (uint32_t i = 0; i < kAnsiUnsafeCharacterCount; ++i)
    if (kAnsiUnsafeCharacters[i].unit == unit) hazards |= kAnsiUnsafeCharacters[i].hazard;
  return hazards;
}

}  // namespace

// Best fits seen on Windows; a table made anew must still hold them.
TEST(AnsiSafeValueTest, TableHoldsTheKnownBestFits) {
  const struct {
    char16_t unit;
    uint16_t page;
    uint8_t first, second;
  } known[] = {{0xFF02, 1252, '"', 0},    {0xFF3C, 1252, '\\', 0},  {0x02BA, 1252, '"', 0},
               {0xFF02, 1250, '"', 0},    {0x00A5, 932, '\\', 0},   {0x20A9, 949, '\\', 0},
               {0x8868, 932, 0x95, '\\'}, {0x30BD, 932, 0x83, '\\'}};
  for (const auto& k : known) {
    bool found = false;
    for (uint32_t i = 0; i < kAnsiUnsafeCharacterCount; ++i) {
      const AnsiUnsafeCharacter& row = kAnsiUnsafeCharacters[i];
      if (row.unit == k.unit && kAnsiCodePages[row.code_page].number == k.page)
        found = row.bytes[0] == k.first && row.bytes[1] == k.second;
    }
    EXPECT_TRUE(found) << std::hex << k.unit << " in " << std::dec << k.page;
  }
}

// Each listed character, of every code page, in each kind of value: one that
// splits is replaced wherever it stands; one whose trail byte is a backslash
// only where a backslash run and a double quote follow.
TEST(AnsiSafeValueTest, EveryListedCharacterIsMadeSafe) {
  for (uint32_t i = 0; i < kAnsiUnsafeCharacterCount; ++i) {
    const char16_t unit = kAnsiUnsafeCharacters[i].unit;
    const std::u16string c(1, unit);
    SCOPED_TRACE(testing::Message() << std::hex << unit);
    DWString escaped;
    ASSERT_TRUE(DEscapeUrl(c.c_str(), &escaped, kEscapeUrlPercent));
    const std::u16string url_safe = escaped.c_str();
    if (Hazards(unit) & kSplits) {
      EXPECT_EQ(Form(u"a" + c + u" b", ValueKind::kText), u"a? b");
      EXPECT_EQ(Form(u"a" + c + u"b", ValueKind::kUrl), u"a" + url_safe + u"b");
      EXPECT_EQ(Form(u"a" + c + u"b", ValueKind::kFileName), u"a b");
      continue;
    }
    EXPECT_EQ(Form(u"a" + c + u"\\b" + c + u"b", ValueKind::kText), u"a" + c + u"\\b" + c + u"b");
    EXPECT_EQ(Form(c + u"\\\\\"" + c, ValueKind::kText), u"?\\\\\\\\\\\"?");
    EXPECT_EQ(Form(u"a" + c + u"\\", ValueKind::kUrl), u"a" + url_safe + u"\\\\");
    EXPECT_EQ(Form(c, ValueKind::kFileName), u" ");
  }
}

// The longest start that fits: never half a surrogate pair or half a "%xx",
// the backslashes before the closing quote counted twice, and the last
// character made safe where the cut puts it before that quote.
TEST(AnsiSafeValueTest, CutsWhereTheRoomEnds) {
  const struct {
    std::u16string text;
    ValueKind kind;
    uint32_t room;
    std::u16string form;
  } cases[] = {
      {u"abc", ValueKind::kText, 2, u"ab"},
      {u"a\U0001F600", ValueKind::kText, 2, u"a"},
      {u"a\\\\", ValueKind::kText, 3, u"a\\\\"},
      {u"a\\\\\\\\b", ValueKind::kText, 6, u"a\\\\\\\\b"},
      {u"ab%41cd", ValueKind::kUrl, 4, u"ab"},
      {u"a\uff02", ValueKind::kUrl, 9, u"a"},
      {u"\u8868\u8868x", ValueKind::kText, 2, u"\u8868?"},
      {u"\u8868\u8868x", ValueKind::kText, 0, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.room);
    EXPECT_EQ(Form(c.text, c.kind, c.room), c.form);
  }
}
