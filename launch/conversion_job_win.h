// The conversion job on Windows: the temporary source, the hidden window,
// the converter's run and its settings dialog.
#pragma once

#include <windows.h>

#include "launch/converter.h"
#include "zevar/dfile_io_win.h"
#include "zevar/dtemp_platform_win.h"

// The converter's program name; the settings dialog is found by it alone.
inline constexpr DWChar kConverterName[] = u"VereZeDid2Uza.x86.exe";

class Win32Converter final : public Converter {
 public:
  // parent_window: the window that the browser named on the host's command
  // line (0: none); the settings dialog is owned by it when it is one.
  explicit Win32Converter(uintptr_t parent_window = 0) : parent_window_(parent_window) {}
  int32_t RunConversion(HostSession& session, const DByteChain& page,
                        const DWChar* title, bool is_mhtml) override;
  // In launch/settings_dialog_win.cc.
  void ShowSettings() override;

 private:
  uintptr_t parent_window_;
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
