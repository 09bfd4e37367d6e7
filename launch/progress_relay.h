// The messages that relay the converter's reports to the browser, and the
// reading of the texts the converter sends in WM_COPYDATA blocks.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

// {"action": "HTML2PDFProgress", "version": 1, "value": <value>} in the
// channel's pretty layout.
bool ComposeProgressMessage(int32_t value, DString* text);

// {"action": "HTML2PDFError", "version": 1, "value": "<text>"}.
bool ComposeErrorMessage(const DWChar* error, uint32_t count, DString* text);

// The UTF-16 text of a block of size bytes: up to its first NUL, or up to the
// block's end when it holds none (an odd last byte is dropped). A null block
// gives the empty text.
bool CopyBlockText(const void* data, uint32_t size, DWString* text);
