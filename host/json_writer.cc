#include "host/json_writer.h"

#include <cstring>

namespace {

bool IsHigh(DWChar c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(DWChar c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Index of the first unpaired surrogate, or count when there is none.
uint32_t FirstUnpaired(const DWChar* text, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (IsHigh(text[i]) && i + 1 < count && IsLow(text[i + 1])) {
      ++i;
    } else if (IsHigh(text[i]) || IsLow(text[i])) {
      return i;
    }
  }
  return count;
}

}  // namespace

bool WriteWideString(JsonWriter& writer, const DWChar* text, uint32_t count) {
  uint32_t bad = FirstUnpaired(text, count);
  if (bad == count) return writer.String(text, count);

  DWString repaired;
  if (!repaired.Assign(text, count)) return false;
  DWChar* units = repaired.data();
  for (uint32_t i = bad; i < count; ++i) {
    if (IsHigh(units[i]) && i + 1 < count && IsLow(units[i + 1])) {
      ++i;
    } else if (IsHigh(units[i]) || IsLow(units[i])) {
      units[i] = 0xFFFD;
    }
  }
  return writer.String(repaired.c_str(), count);
}

bool CopyComposedText(const rapidjson::StringBuffer& buffer, DString* text) {
  text->Release();
  const char* bytes = buffer.GetString();
  size_t count = std::strlen(bytes);
  return text->Assign(bytes, uint32_t(count));
}
