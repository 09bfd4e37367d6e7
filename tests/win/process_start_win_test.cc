// Windows refuses a command line longer than 32,766 units; Wine starts one cut
// short instead, so StartProcess refuses it itself, one unit past the limit.
#include "launch/process_start_win.h"

#include <gtest/gtest.h>

#include <string>

#include "launch/command_line_limit.h"

TEST(ProcessStartTest, ALineLongerThanWindowsStartsIsRefused) {
  for (uint32_t length : {kCommandLineMaxLength, kCommandLineMaxLength + 1}) {
    std::wstring line(length, L'a');
    PROCESS_INFORMATION process;
    // No such program: a line within the limit fails only for that.
    EXPECT_FALSE(StartProcess(L"C:\\no such folder\\none.exe", &line[0], 0, &process));
    EXPECT_EQ(GetLastError() == ERROR_FILENAME_EXCED_RANGE, length > kCommandLineMaxLength);
  }
}
