#include "zevar/dfile_write.h"

#include "zevar/dasync_file_win.h"

int32_t DWriteNewFile(DFileIo* io, const DWChar* path, const void* bytes, uint32_t count) {
  DAsyncFile file(io);
  int32_t status = file.Open(path, CREATE_ALWAYS, kDRead | kDWrite, FILE_SHARE_READ,
                             FILE_ATTRIBUTE_NORMAL);
  if (status < 0) return status;  // nothing was created: nothing to remove
  uint32_t done = 0;
  if (count > 0) status = file.Write(bytes, count, &done);
  int32_t closed = file.Close();
  if (status >= 0) status = closed < 0 ? closed : kDOk;
  // The file is this call's (created or emptied by it): a part of the
  // document must not pass for the whole.
  if (status < 0) DeleteFileW(reinterpret_cast<const wchar_t*>(path));
  return status;
}

int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count) {
  return DWriteNewFile(DSystemFileIo(), path, bytes, count);
}
