#include "launch/process_start_win.h"

#include <cwchar>

#include "launch/command_line_limit.h"

BOOL StartProcess(const wchar_t* program, wchar_t* command_line, DWORD flags,
                  PROCESS_INFORMATION* process, int show) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (show != kNoShowState) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = WORD(show);
  }
  *process = PROCESS_INFORMATION{};
  // Windows refuses such a line; Wine would start it cut short.
  if (wcsnlen(command_line, kCommandLineMaxLength + 1) > kCommandLineMaxLength) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  if (CreateProcessW(program, command_line, nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                     &startup, process))
    return TRUE;
  // A job without JOB_OBJECT_LIMIT_BREAKAWAY_OK refuses the flag itself.
  if ((flags & CREATE_BREAKAWAY_FROM_JOB) && GetLastError() == ERROR_ACCESS_DENIED)
    return CreateProcessW(program, command_line, nullptr, nullptr, FALSE,
                          flags & ~DWORD(CREATE_BREAKAWAY_FROM_JOB), nullptr, nullptr, &startup,
                          process);
  return FALSE;
}
