#include "zevar/dasync_file_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/win/temp_files.h"
#include "zevar/dfile_write.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Fails the next reads or flushes, or shortens writes, on demand; the clock,
// the pauses and the volume the file lies on are the test's.
class FaultyIo : public DFileIo {
 public:
  BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) override {
    return failing_reads-- > 0 ? Fail(read_error) : DFileIo::Read(file, buffer, count, done, at);
  }
  BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) override {
    return DFileIo::Write(file, buffer, count - short_by, done, at);
  }
  BOOL Wait(HANDLE, OVERLAPPED*, DWORD*) override { return Fail(ERROR_HANDLE_EOF); }
  uint64_t TickCount() override { return now; }
  BOOL Flush(HANDLE file) override {
    ++flushes;
    return failing_flushes-- > 0 ? Fail(ERROR_NETNAME_DELETED) : DFileIo::Flush(file);
  }
  void Pause(DWORD milliseconds) override { pauses.push_back(milliseconds); }
  BOOL VolumeRoot(const wchar_t* path, wchar_t* root, DWORD size) override {
    return drive_type != kUnknown && DFileIo::VolumeRoot(path, root, size);
  }
  UINT DriveType(const wchar_t*) override { return drive_type; }
  BOOL VolumeFlags(const wchar_t*, DWORD* flags) override {
    *flags = volume_flags;
    return volume_flags != kUnknown;
  }

  static constexpr DWORD kUnknown = ~0u;  // the volume's root, or its flags, cannot be read
  int failing_reads = 0, flushes = 0, failing_flushes = 0;  // failing: the next ones
  DWORD read_error = ERROR_NETNAME_DELETED, short_by = 0;
  uint64_t now = 100000;
  std::vector<DWORD> pauses;
  UINT drive_type = DRIVE_FIXED;
  DWORD volume_flags = 0;
};

constexpr uint32_t kReadShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

class DAsyncFileTest : public testing::Test {
 protected:
  TempDir dir;
  const std::wstring path = dir.path + L"file.bin";
  uint32_t done = 0;
};

}  // namespace

TEST_F(DAsyncFileTest, WritesANewFileAndReadsItBack) {
  std::string text(70000, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char('a' + i % 26);
  ASSERT_EQ(DWriteNewFile(U(path), text.data(), uint32_t(text.size())), kDOk);

  auto* in = new DAsyncFile;
  EXPECT_EQ(in->Open(U(path), OPEN_EXISTING, 0, FILE_SHARE_READ, 0), kDAccessDenied);
  ASSERT_EQ(in->Open(U(path), OPEN_EXISTING, kDRead, FILE_SHARE_READ, 0), kDOk);
  EXPECT_EQ(in->GetSize(), text.size());
  EXPECT_EQ(in->Write("x", 1, &done), kDAccessDenied);
  ASSERT_EQ(in->Seek(kDSeekBegin, 69990), kDOk);
  char tail[32] = {};
  ASSERT_EQ(in->Read(tail, sizeof tail, &done), kDOk);
  EXPECT_EQ(std::string(tail, done), text.substr(69990));
  // Windows reports a positioned read at the end as an error.
  EXPECT_EQ(in->Read(tail, sizeof tail, &done), DStatusFromSystemError(ERROR_HANDLE_EOF));
  EXPECT_EQ(in->Seek(kDSeekEnd, 1), kDSeekOutOfRange);
  std::string all(text.size(), '\0');
  ASSERT_EQ(in->ReadAt(&all[0], uint32_t(all.size()), kDSeekBegin, 0, &done), kDOk);
  EXPECT_EQ(all, text);

  // A clone shares the handle, and it stays open (nobody else may write the
  // file) until the last of them closes it.
  DStream* copy = in->Clone();
  ASSERT_NE(copy, nullptr);
  delete in;
  ASSERT_EQ(copy->Read(tail, 3, &done), kDOk);
  EXPECT_EQ(std::string(tail, done), "abc");
  EXPECT_EQ(DWriteNewFile(U(path), "new", 3), DStatusFromSystemError(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(copy->Close(), kDOk);
  EXPECT_EQ(copy->Close(), kDNothingDone);
  delete copy;
  // Replacing keeps nothing of the old file.
  ASSERT_EQ(DWriteNewFile(U(path), "new", 3), kDOk);
  EXPECT_EQ(Contents(path), "new");
}

// What reached the file counts, even from a write that came out short; what
// others appended goes.
TEST_F(DAsyncFileTest, CloseCutsTheFileToTheRecordedEnd) {
  ASSERT_TRUE(PutFile(path, "0123456789"));
  FaultyIo io;
  DAsyncFile out(&io);
  ASSERT_EQ(out.Open(U(path), OPEN_EXISTING, kDWrite, kReadShare, 0), kDOk);
  EXPECT_EQ(out.GetMode(), kDRead | kDWrite);
  ASSERT_EQ(out.Seek(kDSeekEnd, 0), kDOk);
  io.short_by = 1;
  EXPECT_EQ(out.Write("abc", 3, &done), kDShortWrite);
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(out.GetSize(), 12u);
  ASSERT_TRUE(PutFile(path, "grown behind the stream", true));
  EXPECT_EQ(out.Close(), kDOk);
  EXPECT_EQ(Contents(path), "0123456789ab");
}

// A failed ReadFile reopens the file once per read and reads again; within
// 500 ms of the open it reads again on the same handle instead. A file that
// changed since it was opened is not reopened.
TEST_F(DAsyncFileTest, AFailedReadReopensOnceThenFails) {
  const struct {
    const char* what;
    uint64_t later;  // ms after the open
    int failing_reads;
    bool pending;  // the read is pending and its wait meets the end of the file
    bool changed;
    int32_t status;
    bool reopened;
  } cases[] = {
      {"once", 600, 1, false, false, kDOk, true},
      {"twice", 600, 2, false, false, kDReadFailedAfterReopen, true},
      {"once, soon after the open", 499, 1, false, false, kDOk, false},
      {"twice, soon after the open", 499, 2, false, false, kDReadFailedAfterReopen, false},
      {"changed", 1000, 1, false, true, kDSourceChanged, true},
      {"pending", 0, 1, true, false, DStatusFromSystemError(ERROR_HANDLE_EOF), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(DWriteNewFile(U(path), "payload", 7), kDOk);
    FaultyIo io;
    DAsyncFile in(&io);
    ASSERT_EQ(in.Open(U(path), OPEN_EXISTING, kDRead, kReadShare, 0), kDOk);
    ASSERT_TRUE(!c.changed || PutFile(path, "more", true));
    io.now += c.later;
    io.failing_reads = c.failing_reads;
    io.read_error = c.pending ? ERROR_IO_PENDING : ERROR_NETNAME_DELETED;
    LogCapture log;
    char buffer[7] = {};
    EXPECT_EQ(in.Read(buffer, 7, &done), c.status);
    EXPECT_EQ(std::string(buffer, done), c.status == kDOk ? "payload" : "");
    EXPECT_EQ(log.Text().find("Reopen for IO") != std::string::npos, c.reopened) << log.Text();
    EXPECT_EQ(in.IsOpen(), c.status != kDSourceChanged);
    if (!in.IsOpen()) {
      EXPECT_EQ(DReopenFile(&in, 0), kDInvalidArgument);
      continue;
    }
    // Each read has its own reopen.
    io.now += 600;
    io.failing_reads = 1;
    io.read_error = ERROR_NETNAME_DELETED;
    ASSERT_EQ(in.ReadAt(buffer, 7, kDSeekBegin, 0, &done), kDOk);
    EXPECT_EQ(std::string(buffer, done), "payload");
  }
}

// Close flushes a written file where a crash may lose what the volume caches:
// network drives, fixed ones backed by remote storage, and unknown volumes. A
// failed flush is tried five times in all, with growing pauses.
TEST_F(DAsyncFileTest, CloseFlushesWhereTheVolumeNeedsIt) {
  const DWORD kUnknown = FaultyIo::kUnknown;
  const struct {
    const char* what;
    UINT drive_type;
    DWORD flags;
    int failing_flushes, flushes;
  } volumes[] = {
      {"root unknown", kUnknown, 0, 0, 1},
      {"network", DRIVE_REMOTE, 0, 0, 1},
      {"fixed", DRIVE_FIXED, 0, 0, 0},
      {"fixed, remote storage", DRIVE_FIXED, FILE_SUPPORTS_REMOTE_STORAGE, 0, 1},
      {"fixed, flags unknown", DRIVE_FIXED, kUnknown, 0, 1},
      {"drive unknown", DRIVE_UNKNOWN, 0, 0, 1},
      {"no root", DRIVE_NO_ROOT_DIR, 0, 0, 1},
      {"removable", DRIVE_REMOVABLE, 0, 0, 0},
      {"CD-ROM", DRIVE_CDROM, 0, 0, 0},
      {"RAM disk", DRIVE_RAMDISK, 0, 0, 0},
      {"network, flush fails thrice", DRIVE_REMOTE, 0, 3, 4},
      {"network, flush always fails", DRIVE_REMOTE, 0, 100, 5},
  };
  const std::vector<DWORD> pauses = {100, 100, 200, 300};
  for (const auto& v : volumes) {
    SCOPED_TRACE(v.what);
    FaultyIo io;
    io.drive_type = v.drive_type;
    io.volume_flags = v.flags;
    DAsyncFile out(&io);
    ASSERT_EQ(out.Open(U(path), CREATE_ALWAYS, kDWrite, FILE_SHARE_READ, 0), kDOk);
    ASSERT_EQ(out.Write("abc", 3, &done), kDOk);
    io.failing_flushes = v.failing_flushes;
    EXPECT_EQ(out.Close(), v.flushes < 5 ? kDOk : DStatusFromSystemError(ERROR_NETNAME_DELETED));
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(io.flushes, v.flushes);
    EXPECT_EQ(io.pauses,
              std::vector<DWORD>(pauses.begin(), pauses.begin() + std::min(v.failing_flushes, 4)));
    EXPECT_EQ(Contents(path), "abc");

    // Nothing written, nothing flushed.
    ASSERT_EQ(out.Open(U(path), OPEN_EXISTING, kDRead, FILE_SHARE_READ, 0), kDOk);
    EXPECT_EQ(out.Close(), kDOk);
    EXPECT_EQ(io.flushes, v.flushes);
  }
}
