// Temporary stand-ins for helpers that other branches deliver, with the names
// and signatures those branches use. Removed when the real ones are merged:
//   actions/chunked_transfer.h   ReceiveChunkedData
//   zevar/durl.h                 DEscapeUrl, DUnescapeUrl
//   zevar/dpositional_format.h   DPositionalFormat
//   zevar/dpath_exists.h         DPathExists
//   zevar/dtemp.h                DGetTempFolder, DMakeUniqueTempName
//   zevar/dfile_write.h          DWriteNewFile
//   zevar/dbase64.h, dstream*.h  (PendingBase64Decode stands for the stream road)
#pragma once

#include <cstdint>

#include "host/host_session.h"
#include "host/request.h"
#include "zevar/dstring.h"

bool ReceiveChunkedData(HostSession& session, const ParsedRequest& request, ActionId action,
                        DString* payload);

bool DEscapeUrl(const DWChar* text, DWString* result, uint32_t flags);
bool DUnescapeUrl(const DWChar* text, DWString* result);

class DPositionalFormat {
 public:
  explicit DPositionalFormat(DWString&& pattern);
  bool SetArgument(uint32_t number, const DWChar* text);
  bool Build();
  const DWString& text() const { return text_; }

 private:
  DWString pattern_;
  DWString argument_;  // the stand-in keeps argument 1 only
  DWString text_;
};

// Decodes Base64 text, skipping characters outside the alphabet; false for an
// empty input or nothing decoded.
bool PendingBase64Decode(const char* text, uint32_t length, DString* bytes);

#ifdef _WIN32
#include <windows.h>
bool DPathExists(const DWChar* path, WIN32_FIND_DATAW* fd = nullptr);
bool DGetTempFolder(DWString* folder);
bool DMakeUniqueTempName(const DWChar* folder, const DWChar* prefix, const DWChar* extension,
                         DWString* path, DWString* name);
int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count);
#endif
