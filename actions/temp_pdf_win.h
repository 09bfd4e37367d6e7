// The temporary PDF of "openPDF" on Windows.
#pragma once

#include "launch/editor_platform.h"
#include "zevar/dasync_file_win.h"

class TempPdfFile final : public TempPdfWriter {
 public:
  // The file calls are a seam for tests; the program passes DSystemFileIo().
  explicit TempPdfFile(DFileIo* io) : file_(io) {}
  ~TempPdfFile() override { Remove(); }
  bool Write(const uint8_t* bytes, uint32_t count) override;
  bool Close(DWString* path) override;
  void Remove() override;
  void Discard(const DWString& path) override;

 private:
  DAsyncFile file_;
  DWString path_;
  bool opened_ = false;
  bool failed_ = false;
};
