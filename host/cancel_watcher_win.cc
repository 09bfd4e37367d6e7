#include "host/cancel_watcher_win.h"

#include <windows.h>

#include "host/cancel_watcher.h"
#include "host/host_session.h"

namespace {

DWORD WINAPI CancelWatcherThread(void* parameter) {
  WatchForCancel(*static_cast<ConversionContext*>(parameter));
  return 0;
}

}  // namespace

bool StartCancelWatcher(ConversionContext& context) {
  if (context.watcher_thread) return true;
  context.watcher_thread = CreateThread(nullptr, 0, CancelWatcherThread, &context, 0, nullptr);
  return context.watcher_thread != nullptr;
}

void StopCancelWatcher(ConversionContext& context) {
  HANDLE watcher = context.watcher_thread;
  if (!watcher) return;
  // The flag ends a watcher that is between reads; the cancel one that waits
  // in its read. A frame it had begun stays with the reader.
  context.stop_watching = true;
  do CancelSynchronousIo(watcher);
  while (WaitForSingleObject(watcher, 100) == WAIT_TIMEOUT);
  CloseHandle(watcher);
  context.watcher_thread = nullptr;
}
