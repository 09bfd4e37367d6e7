#include "zevar/dfile_write_chain.h"

#include "zevar/dasync_file_win.h"

int32_t DWriteNewFileFrom(DFileIo* io, const DWChar* path, const DByteChain& bytes) {
  int32_t status;
  {
    DAsyncFile file(io);
    status = file.Open(path, CREATE_ALWAYS, kDRead | kDWrite, FILE_SHARE_READ,
                       FILE_ATTRIBUTE_NORMAL);
    if (status < 0) return status;
    bytes.Each([&](const uint8_t* extent, uint32_t count) {
      uint32_t done = 0;
      status = file.Write(extent, count, &done);
      return status >= 0;
    });
    int32_t closed = file.Close();
    if (status >= 0) status = closed;
  }
  // A cut-short file must not be taken for the document. Should the removal
  // fail too, the write's failure is still what the caller hears.
  if (status < 0) DeleteFileW(reinterpret_cast<const wchar_t*>(path));
  return status < 0 ? status : kDOk;
}
