#include "zevar/dtemp_platform_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "zevar/dmem.h"

namespace {
// {A520A1A4-1780-4FF6-BD18-167343C5AF16}
const GUID kLocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6,
                               {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
constexpr DWORD kLowIntegrity = 0x1000;
using KnownFolderPathFn = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
}  // namespace

void* DTempPlatform::IntegrityLabel() {
  HANDLE token = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return nullptr;
  DWORD size = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  void* label = size ? DMemAlloc(size) : nullptr;
  if (label && !GetTokenInformation(token, TokenIntegrityLevel, label, size, &size)) {
    DMemFree(label);
    label = nullptr;
  }
  CloseHandle(token);
  return label;
}

// A level that is not a mandatory label counts as unknown, not low.
bool DTempPlatform::IsLowIntegrity() {
  void* label = IntegrityLabel();
  if (!label) return false;
  bool low = false;
  PSID sid = static_cast<TOKEN_MANDATORY_LABEL*>(label)->Label.Sid;
  static const SID_IDENTIFIER_AUTHORITY kMandatory = SECURITY_MANDATORY_LABEL_AUTHORITY;
  if (IsValidSid(sid) &&
      std::memcmp(GetSidIdentifierAuthority(sid), &kMandatory, sizeof kMandatory) == 0 &&
      *GetSidSubAuthorityCount(sid) > 0)
    low = *GetSidSubAuthority(sid, 0) <= kLowIntegrity;
  DMemFree(label);
  return low;
}

DWORD DTempPlatform::TempPath(DWORD size, wchar_t* buffer) { return GetTempPathW(size, buffer); }

HRESULT DTempPlatform::LocalAppDataLow(wchar_t** path) {
  // Looked up at run time: older systems' shell32 lacks it. Loaded, not just
  // looked for: the program maps shell32 only on first use.
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  auto known = shell ? reinterpret_cast<KnownFolderPathFn>(
                           reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderPath")))
                     : nullptr;
  HRESULT result = known ? known(kLocalAppDataLow, 0, nullptr, path) : E_NOTIMPL;
  if (shell) FreeLibrary(shell);
  return result;
}

HRESULT DTempPlatform::LocalAppData(wchar_t* buffer) {
  return SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, buffer);
}

bool DTempPlatform::NewGuid(GUID* guid) { return SUCCEEDED(CoCreateGuid(guid)); }

bool DTempPlatform::Exists(const wchar_t* path) {
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

DTempPlatform* DSystemTempPlatform() {
  static DTempPlatform platform;
  return &platform;
}
