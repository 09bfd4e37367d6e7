// Names that Windows opens as devices rather than files. Kept apart from the
// other path helpers so that the reference converter can share the rule.
#pragma once

#include <cstdint>

// When the file name opens a device (CON, PRN, AUX, NUL, COM1-COM9 and
// LPT1-LPT9, also with the digits ¹ ² ³, CONIN$ and CONOUT$, in any case),
// the length of that device word, else 0. Windows looks only at the part
// before the first '.' or ':', without its trailing blanks, so "nul.html",
// "Com1 .txt" and "aux..." are devices too.
uint32_t DDeviceNameLength(const char16_t* name, uint32_t length);
