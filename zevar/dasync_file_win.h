// The file stream: positioned reads and writes through an OVERLAPPED record,
// in pieces of at most 1 GiB, with one retry after reopening the file when a
// read fails.
#pragma once

#include <windows.h>

#include <cstdint>

#include "zevar/dfile_io_win.h"
#include "zevar/dstream.h"
#include "zevar/dstring.h"

class DFileData final : public DStreamData {
 public:
  // Nobody is left to hear a failure here: writers that care close first.
  ~DFileData() override { static_cast<void>(Close()); }
  [[nodiscard]] bool IsOpen() const override { return handle != INVALID_HANDLE_VALUE; }
  // Cuts the file to the recorded end, flushes it where the volume needs
  // that, and closes the handle; 1 when nothing was open.
  [[nodiscard]] int32_t Close() override;

  DFileIo* io = DSystemFileIo();  // the opening stream's
  HANDLE handle = INVALID_HANDLE_VALUE;
  uint32_t access = 0;
  uint32_t share = 0;
  uint32_t flags = 0;
  DWString path;
  uint64_t end = 0;         // size at open, raised by writes beyond it
  uint64_t write_time = 0;  // FILETIME at open
  uint64_t last_reopen = 0; // tick count
};

class DAsyncFile final : public DStream {
 public:
  explicit DAsyncFile(DFileIo* io = DSystemFileIo());
  ~DAsyncFile() override;

  // disposition as CreateFileW's; mode holds kDRead and/or kDWrite; share and
  // flags go to CreateFileW unchanged.
  [[nodiscard]] int32_t Open(const DWChar* path, uint32_t disposition, uint32_t mode, uint32_t share,
               uint32_t flags);

  uint64_t GetCapacity() const override { return GetSize(); }
  uint64_t GetSize() const override { return IsOpen() ? file()->end : 0; }
  uint32_t GetMode() const override { return IsOpen() ? file()->access : 0; }
  uint32_t GetShare() const override { return IsOpen() ? file()->share : 0; }
  uint32_t GetFlags() const override { return IsOpen() ? file()->flags : 0; }
  [[nodiscard]] int32_t Read(void* buffer, uint32_t count, uint32_t* done) override;
  [[nodiscard]] int32_t Write(const void* buffer, uint32_t count, uint32_t* done) override;
  [[nodiscard]] int32_t SetSize(uint64_t size) override;
  [[nodiscard]] int32_t Flush() override;
  uint32_t GetKind() const override { return kDKindFile; }
  DStream* Clone() override;
  [[nodiscard]] bool GetFileInfo(DFileInfo* info) override;

  DFileData* file() const { return static_cast<DFileData*>(data()); }
  DFileIo* io() const { return io_; }

 private:
  enum class PieceOutcome;
  void Aim(uint64_t position);
  // One read of a piece at the position, waiting for it when it is pending.
  PieceOutcome ReadPiece(void* at, DWORD piece, DWORD* got, int32_t* status);
  // After a failed piece: reopens the file once per piece; kDOk to read the
  // piece again, else the failure that ends the read.
  int32_t ReopenToRetry(PieceOutcome failure, int32_t status, uint32_t* reopens_left);

  DFileIo* io_;
  OVERLAPPED overlapped_{};
};

// Closes the stream's handle and opens its file again, unless the last open
// or reopen was less than 500 ms ago (then 1: retry on the same handle). A
// file whose size or last-write time changed is refused (kDSourceChanged).
[[nodiscard]] int32_t DReopenFile(DAsyncFile* stream, int32_t error);
