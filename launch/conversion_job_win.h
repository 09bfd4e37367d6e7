// The conversion job on Windows: the temporary source, the hidden window,
// the converter's run and its settings dialog.
#pragma once

#include <windows.h>

#include "launch/converter.h"

class Win32Converter final : public Converter {
 public:
  int32_t RunConversion(HostSession& session, const DByteChain& page,
                        const DWChar* title, bool is_mhtml) override;
  void ShowSettings() override;
};

// Writes the page to a new "vlx_<32 hex digits>.html" (or ".mhtml") file in
// the temporary folder. The path is cleared first and may stay set after a
// failure.
bool WriteConversionSource(const DByteChain& page, DWString* path, bool is_mhtml);

// The host's own folder (with its final backslash) and the converter's name.
void ComposeConverterPath(DWString* path);

// The parent of a process, or 0.
DWORD FindParentProcessId(DWORD process_id);

// The first visible top-level window of a process, or null.
HWND FindOwnerWindow(DWORD process_id);
