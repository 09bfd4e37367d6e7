// The seam between the request logic and Windows. The program uses the Win32
// implementation (host/platform_win.cc); native tests use scripted doubles, so
// everything that reads the pipe's bytes can run without Windows.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

class HostPlatform {
 public:
  virtual ~HostPlatform() = default;

  // Bytes waiting on standard input; false when the poll fails (the pipe was
  // closed, or standard input is not a pipe).
  virtual bool PeekInput(uint32_t* available) = 0;

  // Starts a whole command line detached, without waiting; the outcome is
  // not reported. The program is named on its own as well: the command line
  // begins with its path unquoted, which may hold blanks.
  virtual void RunCommandLine(const DWChar* program, DWChar* command_line) = 0;

  // Sets the named event, if it can be opened; failures are ignored.
  virtual void SignalNamedEvent(const DWChar* name) = 0;
};
