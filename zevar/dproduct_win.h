// A product's install folder from the registry, through a seam over the
// registry calls so that tests see which views are read in which order.
#pragma once

#include <windows.h>

#include <cstdint>

#include "zevar/dproduct.h"
#include "zevar/dstring.h"

class DRegistry {
 public:
  virtual ~DRegistry() = default;
  [[nodiscard]] virtual LSTATUS OpenKey(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key);
  [[nodiscard]] virtual LSTATUS QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size);
  virtual LSTATUS CloseKey(HKEY key);
};

// The process's plain registry calls.
DRegistry* DSystemRegistry();

// HKLM\<key path>, value "InstallPath" (REG_SZ or REG_EXPAND_SZ, never
// expanded), from the views asked for: the program's own first, then the
// 64-bit one. True when the folder is not empty; it then ends with exactly
// one backslash.
[[nodiscard]] bool DGetProductInstallPath(uint32_t product, DWString* folder, uint32_t views);
[[nodiscard]] bool DGetProductInstallPathFrom(DRegistry* registry, uint32_t product, DWString* folder,
                                uint32_t views);
