// The program's Authenticode signature. wintrust is delay-loaded: only this
// check maps it, never a browser's start.
#include <windows.h>
// After windows.h, which they build on.
#include <softpub.h>
#include <wintrust.h>

#include "diagnose/system_win.h"
#include "zevar/dcodepage.h"

Signature Win32DiagnoseSystem::CheckSignature(const char* path, uint32_t* code) {
  DWString wide;
  if (!DUtf8ToWide(path, &wide)) {
    *code = uint32_t(E_OUTOFMEMORY);
    return Signature::kInvalid;
  }
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = reinterpret_cast<const wchar_t*>(wide.c_str());
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  *code = uint32_t(result);
  if (result == ERROR_SUCCESS) return Signature::kValid;
  if (result == LONG(TRUST_E_NOSIGNATURE) || result == LONG(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
      result == LONG(TRUST_E_PROVIDER_UNKNOWN))
    return Signature::kNone;
  return Signature::kInvalid;
}
