// The Win32 calls of the file stream's read and write paths, behind a seam
// so that tests can make them fail. The defaults call Windows.
#pragma once

#include <windows.h>

#include <cstdint>

class DFileIo {
 public:
  virtual ~DFileIo() = default;
  // CreateFileW without security attributes or template.
  virtual HANDLE Create(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags);
  [[nodiscard]] virtual BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at);
  [[nodiscard]] virtual BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done, OVERLAPPED* at);
  [[nodiscard]] virtual BOOL Wait(HANDLE file, OVERLAPPED* at, DWORD* done);  // GetOverlappedResult, waiting
  virtual uint64_t TickCount();
};

// The process's plain Windows calls.
DFileIo* DSystemFileIo();
