#include "launch/run_program.h"

#include "host/cancel_watcher_win.h"
#include "host/platform_win.h"
#include "launch/process_start_win.h"

namespace {

constexpr DWORD kStartFlags = CREATE_BREAKAWAY_FROM_JOB | NORMAL_PRIORITY_CLASS;
constexpr uint32_t kSpareRoom = 260;

// Takes the messages waiting in the queue; false once the quit message that
// the finalized message posts was taken.
bool PumpWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

// Pumps the hidden window's messages until the finalized message posts the
// quit message, then stops a cancel watcher that still waits in its read. The
// converter's process is watched too: one that ends without finalizing (a
// crash) ends the wait, and what it posted before it ended is still taken.
// The state then says so: its exit code, or -1 when that is 0 or unknown.
int32_t WaitForConversion(ConversionContext& context, HANDLE process) {
  if (IsWindow(static_cast<HWND>(context.window))) {
    while (PumpWaitingMessages()) {
      DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
      if (woke == WAIT_OBJECT_0 + 1) continue;
      if (woke == WAIT_OBJECT_0) PumpWaitingMessages();
      break;
    }
  }
  StopCancelWatcher(context);
  if (context.finalized) return int32_t(context.result);
  DWORD exit_code = 0;
  if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &exit_code) ||
      exit_code == 0)
    return -1;
  return int32_t(exit_code);
}

DWORD WaitForExit(HANDLE process) {
  while (WaitForSingleObject(process, 100) == WAIT_TIMEOUT) {
  }
  DWORD exit_code = DWORD(-1);
  GetExitCodeProcess(process, &exit_code);
  return exit_code;
}

}  // namespace

int32_t RunProgram(const DWChar* program_path, const DWChar* arguments, bool wait,
                   ConversionContext* context) {
  DWString command_line;
  uint32_t path_length = DWString::Length(program_path);
  uint32_t arguments_length = DWString::Length(arguments);
  uint32_t length = path_length + 1 + arguments_length;
  if (!command_line.Reserve(length < kSpareRoom ? length + kSpareRoom : length)) return -1;
  if (!(command_line.Append(program_path, path_length) && command_line.Append(u' ') &&
        command_line.Append(arguments, arguments_length)))
    return -1;  // reserved above: cannot happen, but never start a cut line

  PROCESS_INFORMATION process;
  if (!StartProcess(W(program_path), W(command_line.data()), kStartFlags, &process)) return -1;
  CloseHandle(process.hThread);

  int32_t result = 0;
  if (wait)
    result = context ? WaitForConversion(*context, process.hProcess)
                     : int32_t(WaitForExit(process.hProcess));
  CloseHandle(process.hProcess);
  return result;
}
