#include "actions/temp_pdf.h"

#include "zevar/dfile_write.h"
#include "zevar/dtemp.h"

bool WriteTempPdf(const char* joined, uint32_t length, DWString* path) {
  path->Empty();
  DMemoryStream document;
  if (!DecodeBase64Payload(joined, length, &document)) return false;
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
