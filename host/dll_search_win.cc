// Limits where this process looks for DLLs to System32 before anything loads
// one on demand (the delay-loaded shell DLLs and whatever they pull in), so a
// DLL planted beside the program or in the current folder is never loaded.
#include <windows.h>

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Runs before every static constructor of default priority. Looked up at run
// time: Windows 7 has it only with update KB2533623. Without it, at least the
// current folder leaves the search order. There is nobody to tell of a failure
// this early; the loader's own order then stays in force.
__attribute__((constructor(101))) void RestrictDllSearch() {
  auto restrict_to = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (restrict_to == nullptr || !restrict_to(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

}  // namespace
