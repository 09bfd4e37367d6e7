#include "launch/progress_relay.h"

#include <cstring>

#include "host/json_writer.h"

bool ComposeProgressMessage(int32_t value, DString* text) {
  return ComposeMessage(
      u"HTML2PDFProgress", 1,
      [&](JsonWriter& writer) {
        writer.Key(u"value");
        writer.Int(value);
      },
      text);
}

bool ComposeErrorMessage(const DWChar* error, uint32_t count, DString* text) {
  return ComposeMessage(
      u"HTML2PDFError", 1,
      [&](JsonWriter& writer) {
        writer.Key(u"value");
        WriteWideString(writer, error ? error : u"", error ? count : 0);
      },
      text);
}

bool CopyBlockText(const void* data, uint32_t size, DWString* text) {
  text->Empty();
  if (!data) return true;
  // The block may sit at any address: read it unit by unit.
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  uint32_t units = size / 2;
  uint32_t count = 0;
  while (count < units) {
    DWChar unit;
    std::memcpy(&unit, bytes + 2 * size_t(count), sizeof unit);
    if (unit == 0) break;
    ++count;
  }
  if (!text->Reserve(count)) return false;
  std::memcpy(text->data(), bytes, 2 * size_t(count));
  text->SetLength(count);
  return true;
}
