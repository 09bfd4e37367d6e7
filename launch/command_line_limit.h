// The longest command line Windows starts: CreateProcessW takes at most
// 32,767 UTF-16 units, the terminating NUL included, and refuses a longer one
// (ERROR_FILENAME_EXCED_RANGE). Wine starts it cut short instead, so every
// line is measured before it is started.
#pragma once

#include <cstdint>

constexpr uint32_t kCommandLineMaxLength = 32766;  // units, the NUL not counted
