#include "host/cancel_watcher_win.h"

#include <windows.h>

#include <cstdio>

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
  do CancelSynchronousIo(watcher);
  while (WaitForSingleObject(watcher, 100) == WAIT_TIMEOUT);
  CloseHandle(watcher);
  context.watcher_thread = nullptr;
  // A cancelled read leaves the stream's error flag set; the main loop reads
  // on from the same stream.
  if (context.session) std::clearerr(context.session->channel.input);
}
