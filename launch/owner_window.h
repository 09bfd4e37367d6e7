// Which window owns the converter's settings dialog: the browser's. A
// browser that starts the host itself may name its window on the command
// line; otherwise the browser is found among the host's ancestors.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

// What the owner search asks of the system; owner_window_win.cc answers from
// Windows, tests from a process tree of their own.
class ProcessWindows {
 public:
  virtual ~ProcessWindows() = default;
  virtual bool IsWindow(uintptr_t window) = 0;
  // The parent's process id, or 0 when it is not known.
  virtual uint32_t ParentOf(uint32_t process_id) = 0;
  // The process's first visible top-level window, or 0.
  virtual uintptr_t FirstVisibleWindow(uint32_t process_id) = 0;
};

// How many ancestors are asked for a window: the parent, the grandparent
// (the browser when a shell sits between it and the host) and two more.
inline constexpr int kOwnerSearchLevels = 4;

// The named window when it is one; otherwise the first visible window of the
// nearest ancestor of process_id that shows one; 0 when none does.
uintptr_t FindOwnerWindow(uintptr_t named_window, uint32_t process_id, ProcessWindows& system);

// The window that a "--parent-window=<decimal>" argument names, or 0. The
// arguments come in no fixed order; the first of that form counts (at most
// 10 digits, perhaps after a '-', a value that fits in 32 bits).
uintptr_t ParentWindowArgument(int count, const DWChar* const* arguments);
