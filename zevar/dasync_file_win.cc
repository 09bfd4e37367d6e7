#include "zevar/dasync_file_win.h"

#include <new>

#include "zevar/dlog.h"

namespace {

constexpr char kSource[] = "DFileBase";
constexpr uint32_t kLargestPiece = 0x40000000;
constexpr DWORD kErrorHandleEof = 38;
constexpr DWORD kErrorIoPending = 997;

int32_t LastErrorStatus() { return DStatusFromSystemError(GetLastError()); }

uint64_t FromFileTime(const FILETIME& t) {
  return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

// Network drives, and fixed drives backed by remote storage, may keep written
// data in caches that a crash loses; so may anything whose volume is unknown.
bool VolumeNeedsFlush(DFileIo* io, const wchar_t* path) {
  wchar_t root[MAX_PATH + 1];
  if (!path[0] || !io->VolumeRoot(path, root, MAX_PATH)) return true;
  switch (io->DriveType(root)) {
    case DRIVE_REMOTE: return true;
    case DRIVE_FIXED: {
      DWORD features = 0;
      if (!io->VolumeFlags(root, &features)) return true;
      return (features & FILE_SUPPORTS_REMOTE_STORAGE) != 0;
    }
    case DRIVE_UNKNOWN:
    case DRIVE_NO_ROOT_DIR: return true;
    default: return false;
  }
}

int32_t FlushWithRetries(DFileIo* io, HANDLE handle) {
  static const DWORD kPauses[] = {100, 100, 200, 300};
  for (DWORD pause : kPauses) {
    if (io->Flush(handle)) return kDOk;
    io->Pause(pause);
  }
  return io->Flush(handle) ? kDOk : LastErrorStatus();
}

}  // namespace

int32_t DFileData::Close() {
  if (handle == INVALID_HANDLE_VALUE) return kDNothingDone;
  int32_t status = kDOk;
  if (access & kDWrite) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size) || uint64_t(size.QuadPart) != end) {
      LARGE_INTEGER at;
      at.QuadPart = LONGLONG(end);
      if (!SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) || !SetEndOfFile(handle))
        status = LastErrorStatus();
    }
    DWString where;
    if (!path.empty()) {
      if (!where.Assign(path.c_str(), path.length())) where.Empty();  // unknown root: flushed
    } else if (where.Reserve(MAX_PATH)) {
      DWORD n = GetFinalPathNameByHandleW(handle, reinterpret_cast<wchar_t*>(where.data()),
                                          MAX_PATH, 0);
      where.SetLength(n < MAX_PATH ? n : 0);
    }
    if (VolumeNeedsFlush(io, reinterpret_cast<const wchar_t*>(where.c_str()))) {
      int32_t flushed = FlushWithRetries(io, handle);
      if (status >= 0) status = flushed;
    }
  }
  CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
  path.Release();
  end = write_time = 0;
  access = share = flags = 0;
  return status;
}

DAsyncFile::DAsyncFile(DFileIo* io) : io_(io) {
  overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

DAsyncFile::~DAsyncFile() {
  Detach();
  if (overlapped_.hEvent) CloseHandle(overlapped_.hEvent);
}

void DAsyncFile::Aim(uint64_t position) {
  overlapped_.Offset = DWORD(position);
  overlapped_.OffsetHigh = DWORD(position >> 32);
}

int32_t DAsyncFile::Open(const DWChar* path, uint32_t disposition, uint32_t mode, uint32_t share,
                         uint32_t flags) {
  if (IsOpen()) {
    int32_t closed = Close();  // the file open before may not have been flushed
    if (closed < 0) return closed;
  }
  if (!(mode & (kDRead | kDWrite))) return kDAccessDenied;
  if (mode & kDWrite) mode |= kDRead;
  DFileData* f = new (std::nothrow) DFileData;
  if (!f || !f->path.Assign(path)) {
    delete f;
    return kDOutOfMemory;
  }
  SetData(f);
  f->io = io_;
  f->last_reopen = io_->TickCount();
  DWORD access = GENERIC_READ | ((mode & kDWrite) ? GENERIC_WRITE : 0);
  HANDLE h = io_->Create(reinterpret_cast<const wchar_t*>(path), access, share, disposition, flags);
  if (h == INVALID_HANDLE_VALUE) return LastErrorStatus();
  LARGE_INTEGER size;
  FILETIME written;
  if (!GetFileSizeEx(h, &size) || !GetFileTime(h, nullptr, nullptr, &written)) {
    int32_t status = LastErrorStatus();
    CloseHandle(h);
    return status;
  }
  f->handle = h;
  f->access = mode;
  f->share = share;
  f->flags = flags;
  f->end = uint64_t(size.QuadPart);
  f->write_time = FromFileTime(written);
  set_position(0);
  return kDOk;
}

enum class DAsyncFile::PieceOutcome {
  kRead,        // the piece's bytes arrived (perhaps fewer than asked)
  kFinal,       // stop: the bytes that arrived count, Read returns the status
  kReadFailed,  // ReadFile failed in a way that a reopen may cure
  kWaitFailed,  // so did the wait for a pending read
};

DAsyncFile::PieceOutcome DAsyncFile::ReadPiece(void* at, DWORD piece, DWORD* got,
                                               int32_t* status) {
  *got = 0;
  Aim(GetPosition());
  if (io_->Read(file()->handle, at, piece, got, &overlapped_)) return PieceOutcome::kRead;
  DWORD error = GetLastError();
  DWORD code = error & 0xFFFF;
  *status = DStatusFromSystemError(error);
  if (code == kErrorHandleEof) {
    *got = 0;
    return PieceOutcome::kFinal;
  }
  DLogWrite(DLogDefault(), kSource, 655,
            u"ReadFile() error: 0x%08X, bCanTryReopen=%d, nBytesToRead=%d, nReaded=%d",
            unsigned(*status), code != kErrorIoPending, int(piece), int(*got));
  if (code != kErrorIoPending) return PieceOutcome::kReadFailed;
  if (io_->Wait(file()->handle, &overlapped_, got)) return PieceOutcome::kRead;
  error = GetLastError();
  code = error & 0xFFFF;
  *status = DStatusFromSystemError(error);
  bool final = error == 0 || code == kErrorHandleEof || code == kErrorIoPending;
  DLogWrite(DLogDefault(), kSource, 691,
            u"GetOverlappedResult() error: 0x%08X, nReaded=%d, bCanTryReopen=%d",
            unsigned(*status), int(*got), !final);
  return final ? PieceOutcome::kFinal : PieceOutcome::kWaitFailed;
}

int32_t DAsyncFile::ReopenToRetry(PieceOutcome failure, int32_t status, uint32_t* reopens_left) {
  bool waited = failure == PieceOutcome::kWaitFailed;
  if (*reopens_left == 0) {
    DLogWrite(DLogDefault(), kSource, waited ? 697 : 661,
              waited ? u"[3] DAsyncFile::Read() is failed!" : u"[1] DAsyncFile::Read() is failed!");
    return kDReadFailedAfterReopen;
  }
  --*reopens_left;
  int32_t reopened = DReopenFile(this, status);
  if (reopened < 0) {
    DLogWrite(DLogDefault(), kSource, waited ? 706 : 670,
              u"DAsyncFile::Read() is failed because the file cannot be reopened, error is 0x%08X",
              unsigned(reopened));
    return reopened;
  }
  DLogWrite(DLogDefault(), kSource, waited ? 710 : 674, u"Retry ReadFile() after reopened...");
  return kDOk;
}

int32_t DAsyncFile::Read(void* buffer, uint32_t count, uint32_t* done) {
  *done = 0;
  if (!IsOpen()) return kDNotOpen;
  if (!(file()->access & kDRead)) return kDAccessDenied;
  uint8_t* at = static_cast<uint8_t*>(buffer);
  uint32_t reopens_left = 1;  // per piece
  while (count > 0) {
    DWORD piece = count < kLargestPiece ? count : kLargestPiece;
    DWORD got = 0;
    int32_t status = kDOk;
    PieceOutcome outcome = ReadPiece(at, piece, &got, &status);
    if (outcome == PieceOutcome::kReadFailed || outcome == PieceOutcome::kWaitFailed) {
      int32_t retry = ReopenToRetry(outcome, status, &reopens_left);
      if (retry < 0) return retry;
      continue;
    }
    set_position(GetPosition() + got);
    *done += got;
    if (outcome == PieceOutcome::kFinal) return status;
    at += got;
    count -= got;
    reopens_left = 1;
    if (got < piece) break;
  }
  return *done == 0 && count > 0 ? kDEndOfStream : kDOk;
}

int32_t DAsyncFile::Write(const void* buffer, uint32_t count, uint32_t* done) {
  *done = 0;
  if (!IsOpen()) return kDNotOpen;
  if (!(file()->access & kDWrite)) return kDAccessDenied;
  const uint8_t* at = static_cast<const uint8_t*>(buffer);
  int32_t status = kDOk;
  while (count > 0) {
    DWORD piece = count < kLargestPiece ? count : kLargestPiece;
    DWORD put = 0;
    Aim(GetPosition());
    if (!io_->Write(file()->handle, at, piece, &put, &overlapped_)) {
      DWORD error = GetLastError();
      status = DStatusFromSystemError(error);
      if ((error & 0xFFFF) != kErrorIoPending) {
        DLogWrite(DLogDefault(), kSource, 761, u"[1] DAsyncFile::Write() is failed: 0x%08X",
                  unsigned(status));
        break;
      }
      if (!io_->Wait(file()->handle, &overlapped_, &put)) {
        status = LastErrorStatus();
        DLogWrite(DLogDefault(), kSource, 772, u"[2] DAsyncFile::Write() is failed: 0x%08X",
                  unsigned(status));
        break;
      }
      status = kDOk;
    }
    set_position(GetPosition() + put);
    *done += put;
    if (put < piece) {
      DLogWrite(DLogDefault(), kSource, 786,
                u"[3] DAsyncFile::Write() is failed, written %d of %d!", int(put), int(piece));
      status = kDShortWrite;
      break;
    }
    at += put;
    count -= put;
  }
  // Whatever reached the file counts, even when a later piece failed: Close
  // must not cut away bytes that were written.
  if (GetPosition() > file()->end) file()->end = GetPosition();
  return status;
}

int32_t DAsyncFile::SetSize(uint64_t size) {
  if (!IsOpen()) return kDNotOpen;
  if (!(file()->access & kDWrite)) return kDAccessDenied;
  if (size > uint64_t(INT64_MAX)) return kDInvalidArgument;
  LARGE_INTEGER at;
  at.QuadPart = LONGLONG(size);
  if (!SetFilePointerEx(file()->handle, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file()->handle))
    return LastErrorStatus();
  file()->end = size;
  if (GetPosition() > size) set_position(size);
  return kDOk;
}

int32_t DAsyncFile::Flush() {
  if (!IsOpen()) return kDNotOpen;
  return io_->Flush(file()->handle) ? kDOk : LastErrorStatus();
}

DStream* DAsyncFile::Clone() {
  DAsyncFile* copy = new (std::nothrow) DAsyncFile(io_);
  if (copy && data()) {
    data()->AddRef();
    copy->SetData(data());
  }
  return copy;
}

bool DAsyncFile::GetFileInfo(DFileInfo* info) {
  BY_HANDLE_FILE_INFORMATION about;
  if (!IsOpen() || !GetFileInformationByHandle(file()->handle, &about)) return false;
  info->size = uint64_t(about.nFileSizeHigh) << 32 | about.nFileSizeLow;
  info->last_write_time = FromFileTime(about.ftLastWriteTime);
  info->attributes = about.dwFileAttributes;
  return true;
}
