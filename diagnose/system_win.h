// The installation check's reads, through Win32.
#pragma once

#include "diagnose/system.h"

class Win32DiagnoseSystem final : public DiagnoseSystem {
 public:
  Lookup ReadString(Hive hive, View view, const char* key, const char* value,
                    DString* text) override;
  Lookup ReadNumber(Hive hive, View view, const char* key, const char* value,
                    uint32_t* number) override;
  Lookup ReadList(Hive hive, View view, const char* key, DString* lines) override;
  FileRead ReadFile(const char* path, uint32_t limit, DString* bytes) override;
  bool IsFile(const char* path) override;
  bool SameFile(const char* a, const char* b) override;
  bool OwnPath(DString* path) override;
  bool EditorFolder(View view, DString* folder) override;
  bool TempFolder(DString* folder) override;
  uint32_t ProbeWrite(const char* folder) override;
  bool FreeBytes(const char* folder, uint64_t* bytes) override;
  Signature CheckSignature(const char* path, uint32_t* code) override;
};
