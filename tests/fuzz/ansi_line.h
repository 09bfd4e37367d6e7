// A command line as a C runtime reads it in an ANSI code page: Windows makes
// the ANSI line with best fit (launch/ansi_unsafe_table.h lists what that
// gives the parser), and the runtime splits it knowing the page's lead bytes
// or, in some, not. Shared by ansi_arguments_fuzzer and the builders' tests.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "launch/ansi_unsafe_table.h"
#include "tools/argv_split.h"

// The ANSI text: its bytes, and 0x10000 + the unit for a character that maps
// to nothing the parser treats specially.
using AnsiText = std::u32string;

inline const AnsiUnsafeCharacter* FindUnsafe(char16_t unit, uint32_t page) {
  const AnsiUnsafeCharacter* end = kAnsiUnsafeCharacters + kAnsiUnsafeCharacterCount;
  const AnsiUnsafeCharacter* row =
      std::lower_bound(kAnsiUnsafeCharacters, end, unit,
                       [](const AnsiUnsafeCharacter& r, char16_t u) { return r.unit < u; });
  for (; row != end && row->unit == unit; ++row)
    if (row->code_page == page) return row;
  return nullptr;
}

inline AnsiText ToAnsi(const std::u16string& text, uint32_t page) {
  AnsiText out;
  out.reserve(text.size() * 2);
  for (char16_t unit : text) {
    const AnsiUnsafeCharacter* row = unit < 0x80 ? nullptr : FindUnsafe(unit, page);
    if (row) {
      out.append(row->bytes, row->bytes + row->length);
    } else {
      out += unit < 0x80 ? char32_t(unit) : char32_t(0x10000 + unit);
    }
  }
  return out;
}

inline bool IsLeadByte(char32_t c, uint32_t page) {
  const uint8_t* ranges = kAnsiCodePages[page].lead_ranges;
  for (int i = 0; i + 1 < 8 && ranges[i]; i += 2)
    if (c >= ranges[i] && c <= ranges[i + 1]) return true;
  return false;
}

// The arguments after the program's name as CommandLineToArgvW finds them.
inline std::vector<std::u16string> SplitWide(const std::u16string& line) {
  return SplitCommandLine(line, false, [](char16_t) { return false; });
}

// Whether readers of the page's ANSI line, knowing its lead bytes or not,
// find the ANSI forms of the wide reader's arguments.
inline bool ReadsAlike(const std::u16string& line, uint32_t page) {
  std::vector<AnsiText> expected;
  for (const std::u16string& argument : SplitWide(line)) expected.push_back(ToAnsi(argument, page));
  for (bool knows_lead : {true, false})
    if (SplitCommandLine(ToAnsi(line, page), false,
                         [&](char32_t c) { return knows_lead && IsLeadByte(c, page); }) != expected)
      return false;
  return true;
}
