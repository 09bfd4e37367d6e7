// Percent-escaping and unescaping of URL text.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

// Flag bits of DEscapeUrl.
enum : uint32_t {
  kEscapeUrlBrowser = 1,     // nothing after the first '?' or '#' is escaped
  kEscapeUrlSpacesOnly = 2,  // of the unsafe bytes, only spaces are escaped
  kEscapeUrlPercent = 4,     // '%' is escaped too (otherwise it is kept)
  kEscapeUrlCanonical = 8,   // '\' becomes '/' after the scheme; "." and ".." are resolved
};

// Escapes the UTF-8 bytes of the text that are unsafe in a URL as '%' and two
// lower-case hexadecimal digits. False for an empty text or when the result
// cannot be stored; the result is then empty.
[[nodiscard]] bool DEscapeUrl(const DWChar* text, DWString* result, uint32_t flags);

// Turns every "%xx" back into its byte and reads the bytes as UTF-8. False
// (empty result) for a '%' without two hexadecimal digits after it, for
// "%00", and when the result cannot be stored. '+' stays '+'.
[[nodiscard]] bool DUnescapeUrl(const DWChar* text, DWString* result);
