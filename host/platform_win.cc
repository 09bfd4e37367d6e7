#include "host/platform_win.h"

bool Win32Platform::PeekInput(uint32_t* available) {
  DWORD total = 0;
  if (!PeekNamedPipe(GetStdHandle(STD_INPUT_HANDLE), nullptr, 0, nullptr, &total, nullptr))
    return false;
  *available = total;
  return true;
}

void Win32Platform::RunCommandLine(DWChar* command_line) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  constexpr DWORD kFlags = DETACHED_PROCESS | NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP;
  if (CreateProcessW(nullptr, W(command_line), nullptr, nullptr, FALSE, kFlags, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

void Win32Platform::SignalNamedEvent(const DWChar* name) {
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, W(name));
  if (!event) return;
  SetEvent(event);
  CloseHandle(event);
}
