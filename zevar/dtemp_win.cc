#include "zevar/dtemp.h"

#include <objbase.h>

#include "zevar/dtemp_platform_win.h"

namespace {

constexpr uint32_t kMaxTries = 1000;
constexpr uint32_t kLongestAppData = 249;  // room for "\Temp\Low\" and a name

const DWChar* U(const wchar_t* text) { return reinterpret_cast<const DWChar*>(text); }

// Makes sure the folder ends with exactly one '\'.
bool EndWithBackslash(DWString* folder) {
  uint32_t n = folder->length();
  if (n > 0 && (folder->c_str()[n - 1] == u'\\' || folder->c_str()[n - 1] == u'/')) {
    folder->data()[n - 1] = u'\\';
    return true;
  }
  return folder->Append(u'\\');
}

// Writes the digits at out; returns the position after them.
DWChar* PutHex(DWChar* out, uint32_t value, int digits, bool lower) {
  const char* alphabet = lower ? "0123456789abcdef" : "0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
    *out++ = DWChar(alphabet[(value >> shift) & 15]);
  return out;
}

}  // namespace

bool DGetTempFolderFrom(DTempPlatform* platform, bool low_integrity, DWString* folder) {
  folder->Empty();
  if (!low_integrity) {
    wchar_t buffer[MAX_PATH];
    DWORD n = platform->TempPath(MAX_PATH, buffer);
    if (n == 0 || n >= MAX_PATH) return false;
    if (!folder->Assign(U(buffer), n) || !EndWithBackslash(folder)) {
      folder->Empty();
      return false;
    }
    return true;
  }
  wchar_t* known = nullptr;
  if (SUCCEEDED(platform->LocalAppDataLow(&known)) && known) {
    bool ok = folder->Assign(U(known)) && folder->Append(u"\\Temp\\");
    CoTaskMemFree(known);
    if (ok) return true;
    folder->Empty();
  }
  wchar_t app_data[MAX_PATH];
  if (SUCCEEDED(platform->LocalAppData(app_data)) &&
      DWString::Length(U(app_data)) < kLongestAppData) {
    if (folder->Assign(U(app_data)) && folder->Append(u"\\Temp\\Low\\")) return true;
    folder->Empty();
  }
  return false;
}

bool DGetTempFolder(DWString* folder) {
  static const bool low = DSystemTempPlatform()->IsLowIntegrity();
  return DGetTempFolderFrom(DSystemTempPlatform(), low, folder);
}

bool DFormatGuidFrom(DTempPlatform* platform, DWString* text, uint32_t flags) {
  text->Empty();
  GUID guid;
  if (!platform->NewGuid(&guid)) return false;
  bool lower = flags & kDGuidLowerCase, dashes = !(flags & kDGuidNoDashes);
  bool braces = !(flags & kDGuidNoBraces);
  DWChar buffer[38];
  DWChar* out = buffer;
  if (braces) *out++ = u'{';
  out = PutHex(out, guid.Data1, 8, lower);
  if (dashes) *out++ = u'-';
  out = PutHex(out, guid.Data2, 4, lower);
  if (dashes) *out++ = u'-';
  out = PutHex(out, guid.Data3, 4, lower);
  if (dashes) *out++ = u'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && dashes) *out++ = u'-';
    out = PutHex(out, guid.Data4[i], 2, lower);
  }
  if (braces) *out++ = u'}';
  return text->Assign(buffer, uint32_t(out - buffer));
}

bool DFormatGuid(DWString* text, uint32_t flags) {
  return DFormatGuidFrom(DSystemTempPlatform(), text, flags);
}

namespace {

bool FindUniqueName(DTempPlatform* platform, const DWChar* folder, const DWChar* prefix,
                    const DWChar* extension, DWString* path, DWString* name) {
  DWString directory, suffix, random, candidate;
  if (!folder || !folder[0]) return false;
  if (!directory.Assign(folder) || !EndWithBackslash(&directory)) return false;
  if (extension && extension[0] && !(suffix.Append(u'.') && suffix.Append(extension))) return false;
  for (uint32_t attempt = 0; attempt < kMaxTries; ++attempt) {
    if (!DFormatGuidFrom(platform, &random, kDGuidNoBraces | kDGuidNoDashes | kDGuidLowerCase))
      return false;
    candidate.Empty();
    if (!(candidate.Append(prefix ? prefix : u"") && candidate.Append(random.c_str()) &&
          candidate.Append(suffix.c_str())))
      return false;
    path->Empty();
    if (!(path->Append(directory.c_str(), directory.length()) &&
          path->Append(candidate.c_str(), candidate.length())))
      return false;
    if (!platform->Exists(reinterpret_cast<const wchar_t*>(path->c_str()))) {
      return !name || name->Assign(candidate.c_str(), candidate.length());
    }
  }
  return false;
}

}  // namespace

bool DMakeUniqueTempNameFrom(DTempPlatform* platform, const DWChar* folder, const DWChar* prefix,
                             const DWChar* extension, DWString* path, DWString* name) {
  // A failure must never hand back a name that was found taken: the caller
  // would write over (or delete) someone else's file.
  if (FindUniqueName(platform, folder, prefix, extension, path, name)) return true;
  path->Empty();
  if (name) name->Empty();
  return false;
}

bool DMakeUniqueTempName(const DWChar* folder, const DWChar* prefix, const DWChar* extension,
                         DWString* path, DWString* name) {
  return DMakeUniqueTempNameFrom(DSystemTempPlatform(), folder, prefix, extension, path, name);
}
