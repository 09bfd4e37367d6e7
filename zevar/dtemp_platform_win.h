// The Windows calls behind the temporary folder and names, as a seam: under
// Wine the process is never at low integrity, and collisions of GUID names
// cannot happen for real.
#pragma once

#include <windows.h>

#include "zevar/dstring.h"

class DTempPlatform {
 public:
  virtual ~DTempPlatform() = default;
  // The thread's (or else the process's) token is at low integrity or below.
  [[nodiscard]] bool IsLowIntegrity();
  // The thread's (or else the process's) token's TOKEN_MANDATORY_LABEL, in a
  // buffer from DMemAlloc that the caller frees; null when neither is read.
  virtual void* IntegrityLabel();
  virtual DWORD TempPath(DWORD size, wchar_t* buffer);  // GetTempPathW
  // SHGetKnownFolderPath(FOLDERID_LocalAppDataLow) when shell32 offers it;
  // *path is freed with CoTaskMemFree.
  [[nodiscard]] virtual HRESULT LocalAppDataLow(wchar_t** path);
  [[nodiscard]] virtual HRESULT LocalAppData(wchar_t* buffer);  // SHGetFolderPathW, MAX_PATH units
  [[nodiscard]] virtual bool NewGuid(GUID* guid);
  [[nodiscard]] virtual bool Exists(const wchar_t* path);  // GetFileAttributesW finds something
};

DTempPlatform* DSystemTempPlatform();

[[nodiscard]] bool DGetTempFolderFrom(DTempPlatform* platform, bool low_integrity, DWString* folder);
[[nodiscard]] bool DMakeUniqueTempNameFrom(DTempPlatform* platform, const DWChar* folder, const DWChar* prefix,
                             const DWChar* extension, DWString* path, DWString* name);
[[nodiscard]] bool DFormatGuidFrom(DTempPlatform* platform, DWString* text, uint32_t flags);
