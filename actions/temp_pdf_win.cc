#include "actions/temp_pdf.h"

#include "zevar/dbase64.h"
#include "zevar/dfile_write.h"
#include "zevar/dmemstream.h"
#include "zevar/dtemp.h"

bool WriteTempPdf(const char* joined, uint32_t length, DWString* path) {
  path->Empty();
  const char* payload;
  uint32_t payload_length;
  ExtractBase64Payload(joined, length, &payload, &payload_length);
  DBufferStream source;
  DMemoryStream document;
  if (source.Attach(const_cast<char*>(payload), payload_length, kDRead) != kDOk ||
      document.Create(0, -2) != kDOk)
    return false;
  // An empty payload fails here.
  if (DBase64DecodeCopy(&document, &source, payload_length, 0) != kDOk) return false;
  DWString folder, name;
  if (!DGetTempFolder(&folder) ||
      !DMakeUniqueTempName(folder.c_str(), u"vlx_", u"pdf", path, &name)) {
    path->Empty();
    return false;
  }
  if (DWriteNewFile(path->c_str(), document.GetBuffer(), uint32_t(document.GetSize())) < 0) {
    path->Empty();
    return false;
  }
  return true;
}
