#include "host/platform_win.h"

#include <gtest/gtest.h>

TEST(Win32PlatformTest, SignalsANamedEventAndIgnoresAMissingOne) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"Local\\vlx-test-cancel-event");
  ASSERT_NE(event, nullptr);
  Win32Platform platform;
  platform.SignalNamedEvent(u"Local\\vlx-test-no-such-event");
  EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_TIMEOUT));
  platform.SignalNamedEvent(u"Local\\vlx-test-cancel-event");
  EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_OBJECT_0));
  CloseHandle(event);
}

TEST(Win32PlatformTest, PeekFailsWhenStandardInputIsNotAPipe) {
  // The test runner's input is not a pipe made by CreatePipe.
  HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE file = CreateFileW(L"NUL", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetStdHandle(STD_INPUT_HANDLE, file);
  Win32Platform platform;
  uint32_t available = 7;
  EXPECT_FALSE(platform.PeekInput(&available));
  SetStdHandle(STD_INPUT_HANDLE, saved);
  CloseHandle(file);
}
