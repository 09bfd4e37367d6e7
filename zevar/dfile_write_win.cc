#include "zevar/dfile_write.h"

#include "zevar/dasync_file_win.h"
#include "zevar/dstatus.h"

int32_t DWriteNewFileFrom(DFileIo* io, const DWChar* path, const DByteChain& bytes) {
  int32_t status;
  {
    DAsyncFile file(io);
    status = file.Open(path, CREATE_ALWAYS, kDRead | kDWrite, FILE_SHARE_READ,
                       FILE_ATTRIBUTE_NORMAL);
    if (status < 0) return status;  // nothing was created: nothing to remove
    bytes.Each([&](const uint8_t* extent, uint32_t count) {
      uint32_t done = 0;
      status = file.Write(extent, count, &done);
      return status >= 0;
    });
    int32_t closed = file.Close();
    if (status >= 0) status = closed;
  }
  // The file is this call's (created or emptied by it): a part of the
  // document must not pass for the whole. Should the removal fail too, the
  // write's failure is still what the caller hears.
  if (status < 0) DeleteFileW(reinterpret_cast<const wchar_t*>(path));
  return status < 0 ? status : kDOk;
}

int32_t DWriteNewFile(DFileIo* io, const DWChar* path, const void* bytes, uint32_t count) {
  DByteChain chain;
  if (count > 0 && !chain.Borrow(bytes, count)) return kDOutOfMemory;
  return DWriteNewFileFrom(io, path, chain);
}

int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count) {
  return DWriteNewFile(DSystemFileIo(), path, bytes, count);
}
