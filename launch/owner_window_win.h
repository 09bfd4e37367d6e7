// The owner search over the running system's processes and windows.
#pragma once

#include <windows.h>

#include "launch/owner_window.h"

// The parent of a process, or 0.
DWORD FindParentProcessId(DWORD process_id);

// The first visible top-level window of a process, or null.
HWND FindVisibleWindow(DWORD process_id);

// The window that owns the settings dialog of this host: the named window
// when it is one, or the browser's among the host's ancestors; null when
// neither is found.
HWND FindBrowserWindow(uintptr_t named_window);
