// Process creation shared by every start of the editor and the converter.
#pragma once

#include <windows.h>

// CreateProcessW with the program named explicitly, so that an unquoted path
// with blanks at the front of the command line ("C:\Program Files\...") is
// never guessed at, and the command line text stays as the callers build it.
// When the flags ask to break away from the job and the job does not allow
// it, the start is retried once without that flag. A command line longer
// than kCommandLineMaxLength is refused (ERROR_FILENAME_EXCED_RANGE).
// Handles are not inherited; the start-up record is all zero but its size,
// and the window state when show is not kNoShowState.
inline constexpr int kNoShowState = -1;
BOOL StartProcess(const wchar_t* program, wchar_t* command_line, DWORD flags,
                  PROCESS_INFORMATION* process, int show = kNoShowState);
