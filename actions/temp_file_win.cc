#include "actions/temp_file_win.h"

#include "zevar/dtemp.h"

bool TempFile::Write(const uint8_t* bytes, uint32_t count) {
  if (failed_) return false;
  if (!opened_) {
    DWString folder, name;
    opened_ = DGetTempFolder(&folder) &&
              DMakeUniqueTempName(folder.c_str(), u"vlx_", extension_, &path_, &name) &&
              file_.Open(path_.c_str(), CREATE_ALWAYS, kDRead | kDWrite, FILE_SHARE_READ,
                         FILE_ATTRIBUTE_NORMAL) >= 0;
    failed_ = !opened_;
  }
  uint32_t done = 0;
  if (!failed_ && count > 0 && file_.Write(bytes, count, &done) < 0) {
    // A full disk: the cut-short file must not stay behind.
    Remove();
    failed_ = true;
  }
  return !failed_;
}

bool TempFile::Close(DWString* path) {
  path->Empty();
  bool whole =
      opened_ && !failed_ && file_.Close() >= 0 && path->Assign(path_.c_str(), path_.length());
  if (!whole) {
    path->Empty();
    Remove();
  }
  opened_ = failed_ = false;
  path_.Empty();
  return whole;
}

void TempFile::Remove() {
  failed_ = false;
  if (!opened_) return;
  // The file goes whatever its close says: it is being thrown away.
  (void)file_.Close();
  // Only the file this run created under its unique name. Should the removal
  // fail, the caller already hears of the failure that led here.
  DeleteFileW(reinterpret_cast<const wchar_t*>(path_.c_str()));
  opened_ = false;
  path_.Empty();
}

void TempFile::Discard(const DWString& path) {
  DeleteFileW(reinterpret_cast<const wchar_t*>(path.c_str()));
}
