// The Win32 calls of the file stream's read, write and flush paths, behind a
// seam so that tests can make them fail and choose the volume a file lies on.
// The defaults call Windows.
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
  [[nodiscard]] virtual BOOL Flush(HANDLE file);  // FlushFileBuffers
  virtual void Pause(DWORD milliseconds);
  // The volume that holds a path: its root (GetVolumePathNameW), the root's
  // drive type (GetDriveTypeW) and its file system's flags (GetVolumeInformationW).
  [[nodiscard]] virtual BOOL VolumeRoot(const wchar_t* path, wchar_t* root, DWORD size);
  virtual UINT DriveType(const wchar_t* root);
  [[nodiscard]] virtual BOOL VolumeFlags(const wchar_t* root, DWORD* flags);
};

// The process's plain Windows calls.
DFileIo* DSystemFileIo();
