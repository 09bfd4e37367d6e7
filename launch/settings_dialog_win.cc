#include "launch/settings_dialog_win.h"

#include <shellapi.h>

#include "host/platform_win.h"
#include "launch/conversion_job_win.h"
#include "launch/converter_command_line.h"
#include "launch/owner_window_win.h"
#include "launch/process_start_win.h"

namespace {

const DWChar kMode[] = u"Chrome";
const DWChar kAppPaths[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr DWORD kStartFlags = CREATE_BREAKAWAY_FROM_JOB | NORMAL_PRIORITY_CLASS;
constexpr DWORD kLongestPath = 1024;

bool IsFile(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Keeps text as the path when it names a file; a quoted text loses its quotes.
bool TakeIfFile(const wchar_t* text, DWString* path) {
  const DWChar* start = reinterpret_cast<const DWChar*>(text);
  uint32_t length = DWString::Length(start);
  if (length > 1 && start[0] == u'"') {
    uint32_t close = 1;
    while (close < length && start[close] != u'"') ++close;
    ++start;
    length = close - 1;
  }
  if (!path->Assign(start, length)) return false;
  if (IsFile(W(path->c_str()))) return true;
  path->Empty();
  return false;
}

// The default value of the name's App Paths key; environment variables in a
// REG_EXPAND_SZ value are expanded.
bool FindInAppPaths(HKEY root, const DWChar* name, DWString* path) {
  DWString key;
  if (!key.Assign(kAppPaths) || !key.Append(name)) return false;
  wchar_t value[kLongestPath];
  DWORD size = sizeof value;
  if (RegGetValueW(root, W(key.c_str()), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return false;
  return TakeIfFile(value, path);
}

bool FindInCurrentFolder(const DWChar* name, DWString* path) {
  wchar_t folder[kLongestPath];
  DWORD n = GetCurrentDirectoryW(kLongestPath, folder);
  if (n == 0 || n >= kLongestPath) return false;
  if (!path->Assign(reinterpret_cast<const DWChar*>(folder), n)) return false;
  if ((folder[n - 1] != L'\\' && !path->Append(u'\\')) || !path->Append(name)) {
    path->Empty();
    return false;
  }
  if (IsFile(W(path->c_str()))) return true;
  path->Empty();
  return false;
}

bool FindOnSearchPath(const DWChar* name, DWString* path) {
  wchar_t found[kLongestPath];
  DWORD n = SearchPathW(nullptr, W(name), nullptr, kLongestPath, found, nullptr);
  return n > 0 && n < kLongestPath && TakeIfFile(found, path);
}

// "<path>" <arguments>, as the shell passes them.
bool ComposeCommandLine(const DWString& program, const DWChar* arguments, DWString* line) {
  return line->Assign(u"\"") && line->Append(program.c_str()) && line->Append(u"\" ") &&
         line->Append(arguments);
}

}  // namespace

bool FindProgramLikeShell(const DWChar* name, DWString* path) {
  path->Empty();
  return FindInAppPaths(HKEY_CURRENT_USER, name, path) ||
         FindInAppPaths(HKEY_LOCAL_MACHINE, name, path) || FindInCurrentFolder(name, path) ||
         FindOnSearchPath(name, path);
}

void StartDetachedLikeShell(const DWChar* name, const DWChar* arguments) {
  DWString program, line;
  PROCESS_INFORMATION process;
  if (FindProgramLikeShell(name, &program) && ComposeCommandLine(program, arguments, &line) &&
      StartProcess(W(program.c_str()), W(line.data()), kStartFlags, &process, SW_SHOW)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return;
  }
  ShellExecuteW(nullptr, nullptr, W(name), W(arguments), nullptr, SW_SHOW);
}

void Win32Converter::ShowSettings() {
  DWString arguments;
  if (!BuildSettingsCommandLine(kMode, FindBrowserWindow(parent_window_), &arguments)) return;
  StartDetachedLikeShell(kConverterName, arguments.c_str());
}
