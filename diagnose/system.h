// What the installation check reads of the machine: registry values, files
// and the suite's pieces. The program reads them through Win32 (system_win.cc);
// the unit tests give a table instead, so every decision runs natively. All
// text is UTF-8.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

enum class Hive { kCurrentUser, kLocalMachine };
// HKCU\SOFTWARE is one key for 32- and 64-bit programs: its places say kShared.
enum class View { kShared, k32, k64 };

enum class Lookup { kFound, kMissing, kWrongType, kFailed };

enum class FileRead { kRead, kMissing, kUnreadable, kTooLarge };

enum class Signature { kValid, kNone, kInvalid };

class DiagnoseSystem {
 public:
  virtual ~DiagnoseSystem() = default;
  // A string value (REG_SZ or REG_EXPAND_SZ, not expanded); value null reads
  // the key's default value.
  virtual Lookup ReadString(Hive hive, View view, const char* key, const char* value,
                            DString* text) = 0;
  virtual Lookup ReadNumber(Hive hive, View view, const char* key, const char* value,
                            uint32_t* number) = 0;
  // Every string value of a key (a policy list), each followed by '\n'.
  virtual Lookup ReadList(Hive hive, View view, const char* key, DString* lines) = 0;
  // The whole file, when it holds at most limit bytes.
  virtual FileRead ReadFile(const char* path, uint32_t limit, DString* bytes) = 0;
  virtual bool IsFile(const char* path) = 0;
  // Both paths name the same file (not only the same text).
  virtual bool SameFile(const char* a, const char* b) = 0;
  // This program's full path.
  virtual bool OwnPath(DString* path) = 0;
  // The editor's install folder registered in one view of HKLM (ends with '\').
  virtual bool EditorFolder(View view, DString* folder) = 0;
  // The temporary folder the host writes to (ends with '\').
  virtual bool TempFolder(DString* folder) = 0;
  // Creates and deletes a file in the folder; 0 or the system's error code.
  virtual uint32_t ProbeWrite(const char* folder) = 0;
  virtual bool FreeBytes(const char* folder, uint64_t* bytes) = 0;
  // code receives the check's result for kInvalid.
  virtual Signature CheckSignature(const char* path, uint32_t* code) = 0;
};
