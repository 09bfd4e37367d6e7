#include "launch/owner_window_win.h"

#include <tlhelp32.h>

namespace {

struct OwnerSearch {
  DWORD process_id;
  HWND window;
};

BOOL CALLBACK FindOwnerWindowProc(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<OwnerSearch*>(parameter);
  if (!(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE)) return TRUE;
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  if (process_id != search->process_id) return TRUE;
  search->window = window;
  return FALSE;
}

class SystemProcessWindows final : public ProcessWindows {
 public:
  bool IsWindow(uintptr_t window) override { return ::IsWindow(reinterpret_cast<HWND>(window)); }
  uint32_t ParentOf(uint32_t process_id) override { return FindParentProcessId(process_id); }
  uintptr_t FirstVisibleWindow(uint32_t process_id) override {
    return reinterpret_cast<uintptr_t>(FindVisibleWindow(process_id));
  }
};

}  // namespace

DWORD FindParentProcessId(DWORD process_id) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == process_id) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snapshot);
  return parent;
}

HWND FindVisibleWindow(DWORD process_id) {
  OwnerSearch search{process_id, nullptr};
  EnumWindows(FindOwnerWindowProc, reinterpret_cast<LPARAM>(&search));
  return search.window;
}

HWND FindBrowserWindow(uintptr_t named_window) {
  SystemProcessWindows system;
  return reinterpret_cast<HWND>(FindOwnerWindow(named_window, GetCurrentProcessId(), system));
}
