// The conversion job on Windows: the temporary source, the hidden window,
// the converter's run and its settings dialog.
#pragma once

#include <windows.h>

#include "actions/temp_file_win.h"
#include "launch/converter.h"
#include "zevar/dfile_io_win.h"

// The converter's program name; the settings dialog is found by it alone.
inline constexpr DWChar kConverterName[] = u"VereZeDid2Uza.x86.exe";

class Win32Converter final : public Converter {
 public:
  // parent_window: the window that the browser named on the host's command
  // line (0: none); the settings dialog is owned by it when it is one.
  explicit Win32Converter(uintptr_t parent_window = 0) : parent_window_(parent_window) {}
  TempFileWriter& PageFile(bool is_mhtml) override { return is_mhtml ? mhtml_ : html_; }
  int32_t RunConversion(HostSession& session, const DWChar* source, const DWChar* title) override;
  // In launch/settings_dialog_win.cc.
  void ShowSettings() override;

 private:
  uintptr_t parent_window_;
  TempFile html_{DSystemFileIo(), u"html"};
  TempFile mhtml_{DSystemFileIo(), u"mhtml"};
};

// The host's own folder (with its final backslash) and the converter's name;
// false (path empty) when there is no memory for it.
[[nodiscard]] bool ComposeConverterPath(DWString* path);
