// A value from a request, placed between double quotes on the command line
// of the editor or the converter, so that a program reading the ANSI line
// (GetCommandLineA, a C runtime's narrow main) splits it exactly as one
// reading the wide line (CommandLineToArgvW, wmain), in every system ANSI
// code page (launch/ansi_unsafe_table.h), and so that the line fits.
//
// Its form: every character that some code page maps to '"', '\', a blank or
// a tab is replaced; so is a double-byte character whose trail byte is '\'
// where a backslash run and a double quote follow it (only there can a reader
// that does not know the lead bytes be misled). Then the text is escaped by
// AppendArgvEscaped. Everything else reads as before.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

enum class ValueKind : uint8_t {
  kText,      // replaced by '?', as Windows writes it without best fit
  kUrl,       // percent-escaped (its UTF-8 bytes); never cut inside a "%xx"
  kFileName,  // replaced by a blank, as the other characters a name cannot hold
};

struct ValueFit {
  uint32_t taken;  // units of the text that fit, ending at a character boundary
  uint32_t units;  // what they take on the line, quotes not counted
};

// The longest start of text[0, length) whose form takes at most room units.
ValueFit FitValue(const DWChar* text, uint32_t length, ValueKind kind, uint32_t room);

// Appends the form of the start of the text that FitValue measured; false
// when memory ran out (out then holds part of it).
[[nodiscard]] bool AppendValue(DWString* out, const DWChar* text, ValueFit fit, ValueKind kind);
