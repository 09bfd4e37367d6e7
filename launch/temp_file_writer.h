// A temporary file written as its content arrives: the PDF of "openPDF", the
// page of a conversion. The program uses actions/temp_file_win.h; native
// tests use doubles.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

// One file at a time; after Close or Remove it is ready for the next.
class TempFileWriter {
 public:
  virtual ~TempFileWriter() = default;
  // Appends the bytes; the first call creates the file, even for 0 bytes.
  // False once anything failed: what was written is then already removed,
  // and later calls do nothing.
  virtual bool Write(const uint8_t* bytes, uint32_t count) = 0;
  // Closes the file; true with its full path when every byte is in it. False
  // when nothing was written or anything failed, and no file is left.
  virtual bool Close(DWString* path) = 0;
  // Closes and removes whatever was written.
  virtual void Remove() = 0;
  // Removes the file that Close handed over, when nothing took it (the
  // editor did not start).
  virtual void Discard(const DWString& path) = 0;
};
