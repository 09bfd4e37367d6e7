// The Win32 side of the host's seam.
#pragma once

#include <windows.h>

#include "host/platform.h"

class Win32Platform final : public HostPlatform {
 public:
  bool PeekInput(uint32_t* available) override;
  void RunCommandLine(const DWChar* program, DWChar* command_line) override;
  void SignalNamedEvent(const DWChar* name) override;
};

// Windows spells UTF-16 text as wchar_t.
inline const wchar_t* W(const DWChar* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* W(DWChar* text) { return reinterpret_cast<wchar_t*>(text); }
