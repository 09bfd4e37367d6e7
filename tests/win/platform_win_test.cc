#include "host/platform_win.h"

#include <gtest/gtest.h>

// Signalling a named event is the cancel watcher's test's.
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
