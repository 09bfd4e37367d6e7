// The Win32 side of the editor seam.
#pragma once

#include "actions/temp_file_win.h"
#include "launch/editor_platform.h"

class Win32EditorPlatform final : public EditorPlatform {
 public:
  void FindEditorPath(DWString* path) override;
  void ShowEditorNotFound() override;
  bool StartEditor(const DWChar* editor_path, const DWChar* arguments) override;
  TempPdfWriter& TempPdf() override { return temp_pdf_; }

 private:
  TempFile temp_pdf_{DSystemFileIo(), u"pdf"};
};
