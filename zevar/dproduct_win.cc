#include <windows.h>

#include "zevar/dpath.h"
#include "zevar/dproduct.h"

namespace {

// REG_SZ or REG_EXPAND_SZ as stored, cut at its first NUL.
void ReadInstallPath(HKEY key, DWString* folder) {
  const wchar_t* kValue = L"InstallPath";
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, kValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return;
  uint32_t units = size / sizeof(wchar_t);
  if (units < 2 || !folder->Reserve(units)) return;
  size = units * sizeof(wchar_t);
  if (RegQueryValueExW(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(folder->data()),
                       &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    folder->Empty();
    return;
  }
  folder->data()[units] = 0;
  folder->SetLength(DWString::Length(folder->c_str()));
}

}  // namespace

bool DGetProductInstallPath(uint32_t product, DWString* folder, uint32_t views) {
  folder->Empty();
  DWString key_path;
  if (!DGetProductKeyPath(product, &key_path)) return false;
  const struct {
    uint32_t view;
    REGSAM access;
  } kTries[] = {{kRegistryView32, KEY_READ}, {kRegistryView64, KEY_READ | KEY_WOW64_64KEY}};
  for (const auto& attempt : kTries) {
    if (!(views & attempt.view)) continue;
    folder->Empty();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(key_path.c_str()), 0,
                      attempt.access, &key) != ERROR_SUCCESS)
      continue;
    ReadInstallPath(key, folder);
    RegCloseKey(key);
    if (!folder->empty()) {
      // A final '\' or '/' becomes '\'; otherwise one is appended.
      DAppendSeparator(folder, u'\\');
      if (folder->c_str()[folder->length() - 1] != u'\\') folder->Empty();
      break;
    }
  }
  return !folder->empty();
}
