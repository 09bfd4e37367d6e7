#include "zevar/dlog.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cwchar>

struct DLog {
  DLog() { InitializeCriticalSectionAndSpinCount(&lock, 4000); }
  ~DLog() {
    HANDLE h = sink.exchange(nullptr);
    if (h) CloseHandle(h);
    path.Release();
    DeleteCriticalSection(&lock);
  }
  CRITICAL_SECTION lock;
  std::atomic<HANDLE> sink{nullptr};
  DWString path;
};

namespace {
constexpr int kLineUnits = 4091;
constexpr wchar_t kCutMark[] = L">>>";
}  // namespace

DLog* DLogDefault() {
  static DLog log;
  return &log;
}

void DLogSetSink(DLog* log, void* handle, const DWChar* path) {
  EnterCriticalSection(&log->lock);
  HANDLE old = log->sink.exchange(static_cast<HANDLE>(handle));
  if (old) CloseHandle(old);
  // A path that cannot be copied is dropped rather than left stale.
  if (!(handle && path && log->path.Assign(path))) log->path.Release();
  LeaveCriticalSection(&log->lock);
}

void DLogWrite(DLog* log, const char* source_file, int line, const DWChar* format, ...) {
  if (!log->sink.load(std::memory_order_acquire)) return;

  wchar_t text[kLineUnits];
  int length = 0;
  // The source name is ASCII; copied by hand so no narrow-in-wide format is needed.
  for (const char* c = source_file; *c && length < 200; ++c) text[length++] = wchar_t(uint8_t(*c));
  FILETIME now, local;
  SYSTEMTIME t;
  GetSystemTimeAsFileTime(&now);
  FileTimeToLocalFileTime(&now, &local);
  FileTimeToSystemTime(&local, &t);
  length += _snwprintf(text + length, size_t(kLineUnits - length),
                       L"(%d) :  %02d:%02d:%02d:%02d.%03d Thread %#010x ", line, t.wDay, t.wHour,
                       t.wMinute, t.wSecond, t.wMilliseconds, unsigned(GetCurrentThreadId()));

  // Room for the message, leaving space for the cut mark and the line feed.
  int room = kLineUnits - length - 5;
  va_list args;
  va_start(args, format);
  int written = _vsnwprintf(text + length, size_t(room), reinterpret_cast<const wchar_t*>(format),
                            args);
  va_end(args);
  if (written < 0 || written >= room) {
    length += room;
    for (wchar_t c : kCutMark)
      if (c) text[length++] = c;
  } else {
    length += written;
  }
  text[length++] = L'\n';

  EnterCriticalSection(&log->lock);
  HANDLE sink = log->sink.load();
  if (sink) {
    DWORD put = 0;
    WriteFile(sink, text, DWORD(length * sizeof(wchar_t)), &put, nullptr);
  }
  LeaveCriticalSection(&log->lock);
}
