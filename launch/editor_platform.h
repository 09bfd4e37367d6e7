// What the open actions and the batched launch need of Windows: the editor's
// location, the not-found message, the immediate start and the temporary PDF.
// The program uses launch/editor_platform_win.*; native tests use doubles.
#pragma once

#include <cstdint>

#include "launch/temp_file_writer.h"
#include "zevar/dstring.h"

// The temporary "vlx_<32 hex>.pdf" of one "openPDF", written as the document
// is decoded.
using TempPdfWriter = TempFileWriter;

class EditorPlatform {
 public:
  virtual ~EditorPlatform() = default;

  // The full path of the editor's executable; empty when it is not installed.
  virtual void FindEditorPath(DWString* path) = 0;

  // The modal "Vellumix Editor is not found" message.
  virtual void ShowEditorNotFound() = 0;

  // Starts the editor at once with the path, one blank and the arguments as
  // its command line; no wait. False when it could not be started.
  virtual bool StartEditor(const DWChar* editor_path, const DWChar* arguments) = 0;

  // Where "openPDF" writes its document.
  virtual TempPdfWriter& TempPdf() = 0;
};
