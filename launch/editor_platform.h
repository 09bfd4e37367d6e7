// What the open actions and the batched launch need of Windows: the editor's
// location, the not-found message, the immediate start and the temporary PDF.
// The program uses launch/editor_platform_win.*; native tests use doubles.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

// The temporary "vlx_<32 hex>.pdf" of one "openPDF", written as the document
// is decoded. One document at a time; after Close or Remove it is ready for
// the next.
class TempPdfWriter {
 public:
  virtual ~TempPdfWriter() = default;
  // Appends the bytes; the first call creates the file. False once anything
  // failed: what was written is then already removed, and later calls do
  // nothing.
  virtual bool Write(const uint8_t* bytes, uint32_t count) = 0;
  // Closes the file; true with its full path when every byte is in it. False
  // when nothing was written or anything failed, and no file is left.
  virtual bool Close(DWString* path) = 0;
  // Closes and removes whatever was written.
  virtual void Remove() = 0;
  // Removes the file that Close handed over, when the editor did not start
  // to take it.
  virtual void Discard(const DWString& path) = 0;
};

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
