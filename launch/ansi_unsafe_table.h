// The characters that Windows' best-fit mapping makes unsafe in the ANSI
// command line of a program (GetCommandLineA, a C runtime's narrow main), in
// every code page Windows uses as a system ANSI code page. The table is
// generated under wine64 by tools/list_ansi_unsafe.cc
// (tools/regenerate-ansi-table.sh) into launch/ansi_unsafe_table.cc.
#pragma once

#include <cstdint>

enum AnsiHazard : uint8_t {
  // Gives '"', '\', a blank or a tab (or a lone lead byte, which would take
  // the next character with it).
  kSplits = 1,
  // A double-byte character whose trail byte is '\' (0x5C): a reader that
  // knows the code page's lead bytes (the C runtime) takes it whole, one that
  // does not sees a backslash.
  kTrailBackslash = 2,
};

struct AnsiCodePage {
  uint16_t number;
  uint8_t lead_ranges[8];  // first and last lead byte of each range; 0 ends them
};

struct AnsiUnsafeCharacter {
  char16_t unit;
  uint8_t code_page;  // index into kAnsiCodePages
  AnsiHazard hazard;
  uint8_t length;  // of its ANSI form
  uint8_t bytes[2];
};

extern const AnsiCodePage kAnsiCodePages[];
extern const uint32_t kAnsiCodePageCount;
// Ordered by unit, then by code page.
extern const AnsiUnsafeCharacter kAnsiUnsafeCharacters[];
extern const uint32_t kAnsiUnsafeCharacterCount;
