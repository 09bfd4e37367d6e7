// Values from requests on the editor's and the converter's command lines:
// the builders' lines read alike in every code page, and a value too long for
// its room is cut where a reader still finds whole characters and escapes.
#include "launch/ansi_safe_value.h"

#include <gtest/gtest.h>

#include <string>

#include "actions/open_actions.h"
#include "launch/ansi_unsafe_table.h"
#include "launch/converter_command_line.h"
#include "tests/fuzz/ansi_line.h"
#include "tests/fuzz/fuzz_text.h"

namespace {

std::u16string Form(const std::u16string& text, ValueKind kind, uint32_t room = UINT32_MAX) {
  ValueFit fit = FitValue(text.c_str(), uint32_t(text.size()), kind, room);
  DWString out;
  EXPECT_TRUE(AppendValue(&out, text.c_str(), fit, kind));
  EXPECT_EQ(out.length(), fit.units);
  return out.c_str();
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

// The builders with every character listed for one code page, each after a
// letter and before a backslash and a double quote (where a trail byte '\'
// would escape it) and at the end (before the closing quote): a reader of
// the page's ANSI line finds the wide reader's arguments.
class AnsiArgumentsTest : public testing::TestWithParam<uint32_t> {};

TEST_P(AnsiArgumentsTest, BuildersReadAlikeInTheCodePage) {
  const uint32_t page = GetParam();
  std::u16string text, name;
  for (uint32_t i = 0; i < kAnsiUnsafeCharacterCount; ++i) {
    const char16_t unit = kAnsiUnsafeCharacters[i].unit;
    if (kAnsiUnsafeCharacters[i].code_page != page) continue;
    text += {u'a', unit, u'\\', u'"', unit};
    name += {u'a', unit, u' ', unit};  // a save name holds no '"' or '\'
  }
  DWString editor, title, path, file_url, line;
  ASSERT_TRUE(editor.Assign(u"C:\\Edit\\VLXEditor.exe") && title.Assign(text.c_str()) &&
              path.Assign(u"C:\\T\\vlx_0.pdf") && file_url.Assign((u"file:///C:/" + text).c_str()));
  ASSERT_TRUE(BuildOpenPdfArguments(editor, title, title, path, &line));
  EXPECT_EQ(SplitWide(Str(line)).size(), 3u);
  EXPECT_TRUE(ReadsAlike(Str(line), page)) << Str(line).size();
  ASSERT_TRUE(BuildOpenLocalPdfArguments(editor, file_url, &line));
  EXPECT_EQ(SplitWide(Str(line)).size(), 2u);
  EXPECT_TRUE(ReadsAlike(Str(line), page));
  ASSERT_TRUE(BuildConvertCommandLine(u"Chrome", u"C:\\T\\vlx_0.html", name.c_str(), true,
                                      reinterpret_cast<void*>(uintptr_t(66052)), &line));
  EXPECT_EQ(SplitWide(Str(line)).size(), 9u);
  EXPECT_TRUE(ReadsAlike(Str(line), page));
}

INSTANTIATE_TEST_SUITE_P(EveryCodePage, AnsiArgumentsTest,
                         testing::Range(uint32_t(0), kAnsiCodePageCount),
                         [](const testing::TestParamInfo<uint32_t>& info) {
                           return "cp" + std::to_string(kAnsiCodePages[info.param].number);
                         });

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
