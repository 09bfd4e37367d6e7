// The Win32 calls of the file stream's read and write paths, behind a seam
// so that tests can make them fail. The defaults call Windows.
#pragma once

#include <windows.h>

#include <cstdint>

class DFileIo {
 public:
  virtual ~DFileIo() = default;
  virtual BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at);
  virtual BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done, OVERLAPPED* at);
  virtual BOOL Wait(HANDLE file, OVERLAPPED* at, DWORD* done);  // GetOverlappedResult, waiting
  virtual uint64_t TickCount();
};

// The process's plain Windows calls.
DFileIo* DSystemFileIo();
