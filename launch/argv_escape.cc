#include "launch/argv_escape.h"

bool AppendArgvEscaped(DWString* out, const DWChar* text) {
  for (uint32_t i = 0;; ++i) {
    uint32_t backslashes = 0;
    while (text[i] == u'\\') {
      ++backslashes;
      ++i;
    }
    bool quote = text[i] == u'"';
    // Before a quote (or the closing one) each backslash is written twice.
    uint32_t count = (quote || text[i] == 0) ? 2 * backslashes + quote : backslashes;
    for (uint32_t k = 0; k < count; ++k)
      if (!out->Append(u'\\')) return false;
    if (text[i] == 0) return true;
    if (!out->Append(text[i])) return false;
  }
}
