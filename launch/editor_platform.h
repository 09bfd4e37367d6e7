// What the open actions and the batched launch need of Windows: the editor's
// location, the not-found message, the immediate start and the temporary PDF.
// The program uses launch/editor_platform_win.*; native tests use doubles.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

class EditorPlatform {
 public:
  virtual ~EditorPlatform() = default;

  // The full path of the editor's executable; empty when it is not installed.
  virtual void FindEditorPath(DWString* path) = 0;

  // The modal "Vellumix Editor is not found" message.
  virtual void ShowEditorNotFound() = 0;

  // Starts the editor at once with the path, one blank and the arguments as
  // its command line; no wait, the outcome is not reported.
  virtual void StartEditor(const DWChar* editor_path, const DWChar* arguments) = 0;

  // Decodes the Base64 payload of the joined data URL into a new temporary
  // "vlx_<32 hex>.pdf"; on true the path is the file's full path.
  virtual bool WriteTempPdf(const char* joined, uint32_t length, DWString* path) = 0;
};
