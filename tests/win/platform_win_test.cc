// The host's standard input, and the cancel watcher's thread over a pipe made
// by CreatePipe, as the browser's. A read cancelled inside a frame, and the
// frames kept for the main loop, are the conversion end-to-end tests'.
#include "host/platform_win.h"

#include <gtest/gtest.h>

#include <string>

#include "host/cancel_watcher_win.h"
#include "host/host_session.h"
#include "host/std_input_win.h"
#include "tests/unit/scripted_channel.h"

TEST(Win32PlatformTest, PeekFailsWhenStandardInputIsNotAPipe) {
  HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE file = CreateFileW(L"NUL", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetStdHandle(STD_INPUT_HANDLE, file);
  Win32Platform platform;
  uint32_t available = 7;
  EXPECT_FALSE(platform.PeekInput(&available));
  SetStdHandle(STD_INPUT_HANDLE, saved);
  CloseHandle(file);
}

TEST(CancelWatcherThreadTest, CancelSignalsAndStartsOnlyOnce) {
  HANDLE reader_end = nullptr, writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader_end, &writer, nullptr, 1 << 16));
  HandleInputSource source(reader_end);
  InputReader reader(source);
  Win32Platform platform;
  HostSession session{{&reader, nullptr}, &platform, {}, {}};
  ConversionContext context;
  context.session = &session;
  // One event name per process: CTest runs cases side by side.
  std::wstring name = L"Local\\vlx-watcher-test-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(context.cancel_event_name.Assign(reinterpret_cast<const DWChar*>(name.c_str())));
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  ASSERT_TRUE(event);

  ASSERT_TRUE(StartCancelWatcher(context));
  void* first = context.watcher_thread;
  ASSERT_TRUE(StartCancelWatcher(context));
  EXPECT_EQ(context.watcher_thread, first);
  const std::string cancel = Frame(R"({"action":"cancel"})");
  DWORD put = 0;
  ASSERT_TRUE(WriteFile(writer, cancel.data(), DWORD(cancel.size()), &put, nullptr));
  ASSERT_EQ(WaitForSingleObject(static_cast<HANDLE>(context.watcher_thread), 10000), WAIT_OBJECT_0);
  StopCancelWatcher(context);
  EXPECT_EQ(context.watcher_thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_OBJECT_0));
  CloseHandle(event);
  CloseHandle(writer);
  CloseHandle(reader_end);
}
