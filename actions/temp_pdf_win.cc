#include "actions/pending_deps.h"
#include "actions/temp_pdf.h"

bool WriteTempPdf(const char* joined, uint32_t length, DWString* path) {
  path->Empty();
  const char* payload;
  uint32_t payload_length;
  ExtractBase64Payload(joined, length, &payload, &payload_length);
  DString bytes;
  if (payload_length == 0 || !PendingBase64Decode(payload, payload_length, &bytes)) return false;
  DWString folder, name;
  if (!DGetTempFolder(&folder) ||
      !DMakeUniqueTempName(folder.c_str(), u"vlx_", u"pdf", path, &name)) {
    path->Empty();
    return false;
  }
  if (DWriteNewFile(path->c_str(), bytes.c_str(), bytes.length()) < 0) {
    path->Empty();
    return false;
  }
  return true;
}
