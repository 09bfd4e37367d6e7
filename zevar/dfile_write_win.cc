#include "zevar/dfile_write.h"

#include "zevar/dasync_file_win.h"

int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count) {
  DAsyncFile file;
  int32_t status = file.Open(path, CREATE_ALWAYS, kDRead | kDWrite, FILE_SHARE_READ,
                             FILE_ATTRIBUTE_NORMAL);
  if (status < 0) return status;
  uint32_t done = 0;
  if (count > 0) status = file.Write(bytes, count, &done);
  int32_t closed = file.Close();
  if (status < 0) return status;
  return closed < 0 ? closed : kDOk;
}
