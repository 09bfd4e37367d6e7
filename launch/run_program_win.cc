#include "launch/run_program.h"

#include "host/platform_win.h"
#include "launch/process_start_win.h"

namespace {

constexpr DWORD kStartFlags = CREATE_BREAKAWAY_FROM_JOB | NORMAL_PRIORITY_CLASS;
constexpr uint32_t kSpareRoom = 260;

// Pumps the hidden window's messages until the finalized message posts the
// quit message, then stops a cancel watcher that still waits in its read.
uint32_t WaitForConversion(ConversionContext& context) {
  if (IsWindow(static_cast<HWND>(context.window))) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (HANDLE watcher = context.watcher_thread) {
    do CancelSynchronousIo(watcher);
    while (WaitForSingleObject(watcher, 100) == WAIT_TIMEOUT);
  }
  return context.result;
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
  command_line.Append(program_path, path_length);
  command_line.Append(u' ');
  command_line.Append(arguments, arguments_length);

  PROCESS_INFORMATION process;
  if (!StartProcess(W(program_path), W(command_line.data()), kStartFlags, &process)) return -1;
  CloseHandle(process.hThread);

  int32_t result = 0;
  if (wait) result = int32_t(context ? WaitForConversion(*context) : WaitForExit(process.hProcess));
  CloseHandle(process.hProcess);
  return result;
}
