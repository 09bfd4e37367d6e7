#include "host/platform_win.h"

#include "launch/process_start_win.h"

bool Win32Platform::PeekInput(uint32_t* available) {
  DWORD total = 0;
  if (!PeekNamedPipe(GetStdHandle(STD_INPUT_HANDLE), nullptr, 0, nullptr, &total, nullptr))
    return false;
  *available = total;
  return true;
}

void Win32Platform::RunCommandLine(const DWChar* program, DWChar* command_line) {
  // Breaks away from the browser's job where it may, so that the editor
  // outlives the host.
  constexpr DWORD kFlags = DETACHED_PROCESS | NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP |
                           CREATE_BREAKAWAY_FROM_JOB;
  PROCESS_INFORMATION process;
  if (StartProcess(W(program), W(command_line), kFlags, &process)) {
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
