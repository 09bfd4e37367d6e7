// Reopening a file whose handle failed a read (a network volume that
// reconnected, a handle invalidated by the system).
#include "zevar/dasync_file_win.h"
#include "zevar/dlog.h"

namespace {

constexpr char kSource[] = "FileIOreopen";
constexpr uint64_t kThrottleMs = 500;

// One reopen at a time in the process.
struct ReopenLock {
  ReopenLock() { InitializeCriticalSectionAndSpinCount(&section, 4000); }
  ~ReopenLock() { DeleteCriticalSection(&section); }
  CRITICAL_SECTION section;
};

CRITICAL_SECTION* TheReopenLock() {
  static ReopenLock lock;
  return &lock.section;
}

int32_t Reopen(DAsyncFile* stream, DFileData* f, uint64_t now) {
  CloseHandle(f->handle);
  f->handle = INVALID_HANDLE_VALUE;
  const wchar_t* path = reinterpret_cast<const wchar_t*>(f->path.c_str());
  DLogWrite(DLogDefault(), kSource, 71, u"Reopen for IO: %p \"%ls\"", static_cast<void*>(stream),
            path);
  DWORD access = GENERIC_READ | ((f->access & kDWrite) ? GENERIC_WRITE : 0);
  HANDLE h = CreateFileW(path, access, f->share, nullptr, OPEN_EXISTING, f->flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return DStatusFromSystemError(GetLastError());
  LARGE_INTEGER size;
  FILETIME written;
  if (!GetFileSizeEx(h, &size) || !GetFileTime(h, nullptr, nullptr, &written)) {
    int32_t status = DStatusFromSystemError(GetLastError());
    CloseHandle(h);
    return status;
  }
  uint64_t time = uint64_t(written.dwHighDateTime) << 32 | written.dwLowDateTime;
  if (uint64_t(size.QuadPart) != f->end || time != f->write_time) {
    CloseHandle(h);
    DLogWrite(DLogDefault(), kSource, 35, u"Reopen failed for \"%ls\": source is changed!", path);
    return kDSourceChanged;
  }
  f->handle = h;
  f->last_reopen = now;
  return kDOk;
}

}  // namespace

int32_t DReopenFile(DAsyncFile* stream, int32_t /*error*/) {
  EnterCriticalSection(TheReopenLock());
  int32_t status;
  DFileData* f = stream->file();
  uint64_t now = stream->io()->TickCount();
  if (!stream->IsOpen()) {
    status = kDInvalidArgument;
  } else if (now - f->last_reopen < kThrottleMs) {
    status = kDNothingDone;
  } else {
    status = Reopen(stream, f, now);
    if (status < 0)
      DLogWrite(DLogDefault(), kSource, 94, u"Reopen failed for IO: %p \"%ls\", error is 0x%08X",
                static_cast<void*>(stream), reinterpret_cast<const wchar_t*>(f->path.c_str()),
                unsigned(status));
  }
  LeaveCriticalSection(TheReopenLock());
  return status;
}
