// A temporary file on Windows: "vlx_<32 hex>.<extension>" in the temporary
// folder, created by the first write.
#pragma once

#include "launch/temp_file_writer.h"
#include "zevar/dasync_file_win.h"

class TempFile final : public TempFileWriter {
 public:
  // The file calls are a seam for tests; the program passes DSystemFileIo().
  // The extension is a constant text.
  TempFile(DFileIo* io, const DWChar* extension) : file_(io), extension_(extension) {}
  ~TempFile() override { Remove(); }
  bool Write(const uint8_t* bytes, uint32_t count) override;
  bool Close(DWString* path) override;
  void Remove() override;
  void Discard(const DWString& path) override;

 private:
  DAsyncFile file_;
  const DWChar* extension_;
  DWString path_;
  bool opened_ = false;
  bool failed_ = false;
};
