#include "zevar/dproduct_win.h"

#include "zevar/dpath.h"

namespace {

// REG_SZ or REG_EXPAND_SZ as stored, cut at its first NUL.
void ReadInstallPath(DRegistry* registry, HKEY key, DWString* folder) {
  const wchar_t* kValue = L"InstallPath";
  DWORD type = 0, size = 0;
  if (registry->QueryValue(key, kValue, &type, nullptr, &size) != ERROR_SUCCESS) return;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return;
  uint32_t units = size / sizeof(wchar_t);
  if (units < 2 || !folder->Reserve(units)) return;
  size = units * sizeof(wchar_t);
  if (registry->QueryValue(key, kValue, &type, reinterpret_cast<BYTE*>(folder->data()), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    folder->Empty();
    return;
  }
  folder->data()[units] = 0;
  folder->SetLength(DWString::Length(folder->c_str()));
}

}  // namespace

LSTATUS DRegistry::OpenKey(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) {
  return RegOpenKeyExW(parent, path, 0, access, key);
}

LSTATUS DRegistry::QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data,
                              DWORD* size) {
  return RegQueryValueExW(key, name, nullptr, type, data, size);
}

LSTATUS DRegistry::CloseKey(HKEY key) { return RegCloseKey(key); }

DRegistry* DSystemRegistry() {
  static DRegistry registry;
  return &registry;
}

bool DGetProductInstallPath(uint32_t product, DWString* folder, uint32_t views) {
  return DGetProductInstallPathFrom(DSystemRegistry(), product, folder, views);
}

bool DGetProductInstallPathFrom(DRegistry* registry, uint32_t product, DWString* folder,
                                uint32_t views) {
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
    if (registry->OpenKey(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(key_path.c_str()),
                          attempt.access, &key) != ERROR_SUCCESS)
      continue;
    ReadInstallPath(registry, key, folder);
    registry->CloseKey(key);
    if (!folder->empty()) {
      // A final '\' or '/' becomes '\'; otherwise one is appended.
      DAppendSeparator(folder, u'\\');
      if (folder->c_str()[folder->length() - 1] != u'\\') folder->Empty();
      break;
    }
  }
  return !folder->empty();
}
