// The Win32 side of the editor seam.
#pragma once

#include "launch/editor_platform.h"

class Win32EditorPlatform final : public EditorPlatform {
 public:
  void FindEditorPath(DWString* path) override;
  void ShowEditorNotFound() override;
  void StartEditor(const DWChar* editor_path, const DWChar* arguments) override;
  bool WriteTempPdf(const char* joined, uint32_t length, DWString* path) override;
};
