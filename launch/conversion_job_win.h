// The conversion job on Windows: the temporary source, the hidden window,
// the converter's run and its settings dialog.
#pragma once

#include <windows.h>

#include "launch/converter.h"
#include "zevar/dfile_io_win.h"
#include "zevar/dtemp_platform_win.h"

class Win32Converter final : public Converter {
 public:
  int32_t RunConversion(HostSession& session, const DByteChain& page,
                        const DWChar* title, bool is_mhtml) override;
  void ShowSettings() override;
};

// Writes the page to a new "vlx_<32 hex digits>.html" (or ".mhtml") file in
// the temporary folder. On failure the path is empty and no file of this
// call's remains. The names made in the folder and the file calls are seams
// for tests.
[[nodiscard]] bool WriteConversionSource(const DByteChain& page, DWString* path, bool is_mhtml,
                                         DTempPlatform* temp = DSystemTempPlatform(),
                                         DFileIo* io = DSystemFileIo());

// The host's own folder (with its final backslash) and the converter's name;
// false (path empty) when there is no memory for it.
[[nodiscard]] bool ComposeConverterPath(DWString* path);

// The parent of a process, or 0.
DWORD FindParentProcessId(DWORD process_id);

// The first visible top-level window of a process, or null.
HWND FindOwnerWindow(DWORD process_id);
