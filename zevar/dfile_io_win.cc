#include "zevar/dfile_io_win.h"

HANDLE DFileIo::Create(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags) {
  return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

BOOL DFileIo::Read(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) {
  return ReadFile(file, buffer, count, done, at);
}

BOOL DFileIo::Write(HANDLE file, const void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) {
  return WriteFile(file, buffer, count, done, at);
}

BOOL DFileIo::Wait(HANDLE file, OVERLAPPED* at, DWORD* done) {
  return GetOverlappedResult(file, at, done, TRUE);
}

uint64_t DFileIo::TickCount() { return GetTickCount64(); }

BOOL DFileIo::Flush(HANDLE file) { return FlushFileBuffers(file); }

void DFileIo::Pause(DWORD milliseconds) { Sleep(milliseconds); }

BOOL DFileIo::VolumeRoot(const wchar_t* path, wchar_t* root, DWORD size) {
  return GetVolumePathNameW(path, root, size);
}

UINT DFileIo::DriveType(const wchar_t* root) { return GetDriveTypeW(root); }

BOOL DFileIo::VolumeFlags(const wchar_t* root, DWORD* flags) {
  return GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, flags, nullptr, 0);
}

DFileIo* DSystemFileIo() {
  static DFileIo io;
  return &io;
}
