#include "zevar/dasync_file_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zevar/dfile_write.h"
#include "zevar/dtemp.h"
#include "tests/win/log_capture.h"

namespace {

const wchar_t* W(const DWString& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// A fresh file name in the temporary folder, deleted at the end.
class TempFile {
 public:
  TempFile() {
    DWString folder;
    EXPECT_TRUE(DGetTempFolder(&folder));
    EXPECT_TRUE(DMakeUniqueTempName(folder.c_str(), u"vlxtest_", u"bin", &path, nullptr));
  }
  ~TempFile() { DeleteFileW(W(path)); }
  uint64_t Size() const {
    WIN32_FILE_ATTRIBUTE_DATA about;
    if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &about)) return ~0ull;
    return uint64_t(about.nFileSizeHigh) << 32 | about.nFileSizeLow;
  }
  // Appends through a second handle, as another program would.
  void AppendBehindTheStream(const char* text) {
    HANDLE h = CreateFileW(W(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(h, text, DWORD(strlen(text)), &put, nullptr);
    CloseHandle(h);
  }
  DWString path;
};

// Fails the next reads or flushes, or shortens writes, on demand; the clock,
// the pauses and the volume the file lies on are the test's.
class FaultyIo : public DFileIo {
 public:
  BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) override {
    handles_read.push_back(file);
    if (failing_reads > 0) {
      --failing_reads;
      *done = 0;
      SetLastError(read_error);
      return FALSE;
    }
    return DFileIo::Read(file, buffer, count, done, at);
  }
  BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) override {
    return DFileIo::Write(file, buffer, count > short_by ? count - short_by : 0, done, at);
  }
  BOOL Wait(HANDLE, OVERLAPPED*, DWORD* done) override {
    *done = 0;
    SetLastError(wait_error);
    return FALSE;
  }
  uint64_t TickCount() override { return now; }
  BOOL Flush(HANDLE file) override {
    ++flushes;
    if (failing_flushes > 0) {
      --failing_flushes;
      SetLastError(ERROR_NETNAME_DELETED);
      return FALSE;
    }
    return DFileIo::Flush(file);
  }
  void Pause(DWORD milliseconds) override { pauses.push_back(milliseconds); }
  BOOL VolumeRoot(const wchar_t* path, wchar_t* root, DWORD size) override {
    return root_found && DFileIo::VolumeRoot(path, root, size);
  }
  UINT DriveType(const wchar_t*) override { return drive_type; }
  BOOL VolumeFlags(const wchar_t*, DWORD* flags) override {
    *flags = volume_flags;
    return flags_read;
  }

  int failing_reads = 0;
  DWORD read_error = ERROR_NETNAME_DELETED;
  DWORD wait_error = ERROR_HANDLE_EOF;
  DWORD short_by = 0;
  uint64_t now = 100000;
  std::vector<HANDLE> handles_read;
  int failing_flushes = 0;
  int flushes = 0;
  std::vector<DWORD> pauses;
  bool root_found = true;
  UINT drive_type = DRIVE_FIXED;
  bool flags_read = true;
  DWORD volume_flags = 0;
};

constexpr uint32_t kReadShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// "payload" in a file, open for reading through the faulty calls.
class DAsyncFileReadTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DWriteNewFile(file.path.c_str(), "payload", 7), kDOk);
    ASSERT_EQ(in.Open(file.path.c_str(), OPEN_EXISTING, kDRead, kReadShare, 0), kDOk);
  }
  TempFile file;
  FaultyIo io;
  DAsyncFile in{&io};
  char buffer[7] = {};
  uint32_t done = 0;
};

}  // namespace

TEST(DAsyncFileTest, WritesANewFileAndReadsItBack) {
  TempFile file;
  std::string text(70000, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char('a' + i % 26);
  ASSERT_EQ(DWriteNewFile(file.path.c_str(), text.data(), uint32_t(text.size())), kDOk);
  EXPECT_EQ(file.Size(), text.size());

  DAsyncFile in;
  EXPECT_EQ(in.Open(file.path.c_str(), OPEN_EXISTING, 0, FILE_SHARE_READ, 0), kDAccessDenied);
  ASSERT_EQ(in.Open(file.path.c_str(), OPEN_EXISTING, kDRead, FILE_SHARE_READ, 0), kDOk);
  EXPECT_EQ(in.GetKind(), uint32_t(kDKindFile));
  EXPECT_EQ(in.GetSize(), text.size());
  uint32_t done = 0;
  EXPECT_EQ(in.Write("x", 1, &done), kDAccessDenied);
  ASSERT_EQ(in.Seek(kDSeekBegin, 69990), kDOk);
  char tail[32] = {};
  ASSERT_EQ(in.Read(tail, sizeof tail, &done), kDOk);
  EXPECT_EQ(std::string(tail, done), text.substr(69990));
  // Windows reports a positioned read at the end as an error.
  EXPECT_EQ(in.Read(tail, sizeof tail, &done), DStatusFromSystemError(ERROR_HANDLE_EOF));
  EXPECT_EQ(in.Seek(kDSeekEnd, 1), kDSeekOutOfRange);

  std::string all(text.size(), '\0');
  ASSERT_EQ(in.ReadAt(&all[0], uint32_t(all.size()), kDSeekBegin, 0, &done), kDOk);
  EXPECT_EQ(all, text);
  EXPECT_EQ(in.Close(), kDOk);
  EXPECT_EQ(in.Close(), kDNothingDone);

  // Replacing keeps nothing of the old file.
  ASSERT_EQ(DWriteNewFile(file.path.c_str(), "new", 3), kDOk);
  EXPECT_EQ(file.Size(), 3u);
  EXPECT_LT(DWriteNewFile(u"Z:\\no\\such\\folder\\x.pdf", "x", 1), 0);
}

TEST(DAsyncFileTest, CloseCutsTheFileToTheRecordedEnd) {
  TempFile file;
  ASSERT_EQ(DWriteNewFile(file.path.c_str(), "0123456789", 10), kDOk);
  DAsyncFile out;
  ASSERT_EQ(out.Open(file.path.c_str(), OPEN_EXISTING, kDWrite, kReadShare, 0), kDOk);
  EXPECT_EQ(out.GetMode(), kDRead | kDWrite);
  ASSERT_EQ(out.Seek(kDSeekEnd, 0), kDOk);
  uint32_t done = 0;
  ASSERT_EQ(out.Write("ab", 2, &done), kDOk);
  EXPECT_EQ(out.GetSize(), 12u);
  file.AppendBehindTheStream("grown behind the stream");
  EXPECT_EQ(file.Size(), 35u);
  EXPECT_EQ(out.Close(), kDOk);
  EXPECT_EQ(file.Size(), 12u);
}

TEST_F(DAsyncFileReadTest, AReadFailingTwiceReopensOnceThenFails) {
  io.now += 600;
  io.failing_reads = 2;
  LogCapture log;
  EXPECT_EQ(in.Read(buffer, 7, &done), kDReadFailedAfterReopen);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(io.handles_read.size(), 2u);
  std::string text = log.Text();
  const char* lines[] = {"DFileBase(655) : ", "bCanTryReopen=1, nBytesToRead=7, nReaded=0\n",
                         "FileIOreopen(71) : ", "DFileBase(674) : ", "Retry ReadFile() after reopened...\n",
                         "DFileBase(661) : ", "[1] DAsyncFile::Read() is failed!\n"};
  size_t at = 0;
  for (const char* line : lines) {
    at = text.find(line, at);
    EXPECT_NE(at, std::string::npos) << line << "\n" << text;
  }

  // A success restores the allowance: the next failure reopens again.
  io.now += 600;
  io.failing_reads = 1;
  ASSERT_EQ(in.Read(buffer, 7, &done), kDOk);
  EXPECT_EQ(std::string(buffer, done), "payload");
}

TEST_F(DAsyncFileReadTest, AFailureSoonAfterOpeningRetriesOnTheSameHandle) {
  io.now += 499;
  io.failing_reads = 1;
  LogCapture log;
  ASSERT_EQ(in.Read(buffer, 7, &done), kDOk);
  EXPECT_EQ(std::string(buffer, done), "payload");
  EXPECT_EQ(io.handles_read.size(), 2u);
  EXPECT_EQ(log.Text().find("Reopen for IO"), std::string::npos);
  EXPECT_NE(log.Text().find("Retry ReadFile()"), std::string::npos);

  io.failing_reads = 2;
  EXPECT_EQ(in.ReadAt(buffer, 7, kDSeekBegin, 0, &done), kDReadFailedAfterReopen);
  EXPECT_TRUE(in.IsOpen());
}

TEST_F(DAsyncFileReadTest, RefusesToReopenAFileThatChanged) {
  file.AppendBehindTheStream("more");
  io.now += 1000;
  io.failing_reads = 1;
  EXPECT_EQ(in.Read(buffer, 7, &done), kDSourceChanged);
  EXPECT_FALSE(in.IsOpen());
  EXPECT_EQ(DReopenFile(&in, 0), kDInvalidArgument);
}

TEST(DAsyncFileTest, ReportsShortWritesAndEndsOfFileWhileWaiting) {
  TempFile file;
  FaultyIo io;
  DAsyncFile out(&io);
  ASSERT_EQ(out.Open(file.path.c_str(), CREATE_ALWAYS, kDWrite, FILE_SHARE_READ, 0), kDOk);
  io.short_by = 1;
  uint32_t done = 0;
  EXPECT_EQ(out.Write("abcdef", 6, &done), kDShortWrite);
  EXPECT_EQ(done, 5u);
  EXPECT_EQ(out.GetSize(), 5u);  // what reached the file is kept

  // A pending read whose wait meets the end of the file returns that error.
  io.failing_reads = 1;
  io.read_error = ERROR_IO_PENDING;
  char buffer[4];
  EXPECT_EQ(out.ReadAt(buffer, 4, kDSeekBegin, 0, &done), DStatusFromSystemError(38));
  EXPECT_EQ(io.handles_read.size(), 1u);
  EXPECT_EQ(out.Close(), kDOk);
  EXPECT_EQ(file.Size(), 5u);
}

TEST(DAsyncFileTest, ClonesShareTheHandleAndCloseItWithTheLast) {
  TempFile file;
  ASSERT_EQ(DWriteNewFile(file.path.c_str(), "shared", 6), kDOk);
  auto* in = new DAsyncFile;
  ASSERT_EQ(in->Open(file.path.c_str(), OPEN_EXISTING, kDRead, 0, 0), kDOk);
  DStream* copy = in->Clone();
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->SharesDataWith(*in));
  delete in;
  char buffer[6];
  uint32_t done = 0;
  ASSERT_EQ(copy->Read(buffer, 6, &done), kDOk);
  EXPECT_EQ(std::string(buffer, 6), "shared");
  // Share mode 0: nobody else may open the file until the last stream goes.
  EXPECT_EQ(DWriteNewFile(file.path.c_str(), "x", 1), DStatusFromSystemError(ERROR_SHARING_VIOLATION));
  delete copy;
  EXPECT_EQ(DWriteNewFile(file.path.c_str(), "x", 1), kDOk);
}

struct Volume {
  const char* what;
  bool root_found;
  UINT drive_type;
  bool flags_read;
  DWORD flags;
  bool flushed;
};
void PrintTo(const Volume& volume, std::ostream* out) { *out << volume.what; }

class DAsyncFileFlushTest : public testing::TestWithParam<Volume> {};

TEST_P(DAsyncFileFlushTest, CloseFlushesWhereTheVolumeNeedsIt) {
  const Volume& volume = GetParam();
  TempFile file;
  FaultyIo io;
  io.root_found = volume.root_found;
  io.drive_type = volume.drive_type;
  io.flags_read = volume.flags_read;
  io.volume_flags = volume.flags;
  DAsyncFile out(&io);
  ASSERT_EQ(out.Open(file.path.c_str(), CREATE_ALWAYS, kDWrite, FILE_SHARE_READ, 0), kDOk);
  uint32_t done = 0;
  ASSERT_EQ(out.Write("abc", 3, &done), kDOk);
  EXPECT_EQ(out.Close(), kDOk);
  EXPECT_EQ(io.flushes, volume.flushed ? 1 : 0);

  // Nothing written, nothing flushed.
  DAsyncFile in(&io);
  ASSERT_EQ(in.Open(file.path.c_str(), OPEN_EXISTING, kDRead, FILE_SHARE_READ, 0), kDOk);
  EXPECT_EQ(in.Close(), kDOk);
  EXPECT_EQ(io.flushes, volume.flushed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, DAsyncFileFlushTest,
    testing::Values(Volume{"RootUnknown", false, DRIVE_FIXED, true, 0, true},
                    Volume{"Network", true, DRIVE_REMOTE, true, 0, true},
                    Volume{"Fixed", true, DRIVE_FIXED, true, 0, false},
                    Volume{"FixedRemoteStorage", true, DRIVE_FIXED, true,
                           FILE_SUPPORTS_REMOTE_STORAGE, true},
                    Volume{"FixedFlagsUnknown", true, DRIVE_FIXED, false, 0, true},
                    Volume{"DriveUnknown", true, DRIVE_UNKNOWN, true, 0, true},
                    Volume{"NoRoot", true, DRIVE_NO_ROOT_DIR, true, 0, true},
                    Volume{"Removable", true, DRIVE_REMOVABLE, true, 0, false},
                    Volume{"CdRom", true, DRIVE_CDROM, true, 0, false},
                    Volume{"RamDisk", true, DRIVE_RAMDISK, true, 0, false}),
    [](const testing::TestParamInfo<Volume>& info) { return info.param.what; });

TEST(DAsyncFileTest, AFailedFlushIsTriedFiveTimesWithGrowingPauses) {
  TempFile file;
  FaultyIo io;
  io.drive_type = DRIVE_REMOTE;
  DAsyncFile out(&io);
  ASSERT_EQ(out.Open(file.path.c_str(), CREATE_ALWAYS, kDWrite, FILE_SHARE_READ, 0), kDOk);
  uint32_t done = 0;
  ASSERT_EQ(out.Write("abc", 3, &done), kDOk);
  io.failing_flushes = 3;
  EXPECT_EQ(out.Close(), kDOk);
  EXPECT_EQ(io.flushes, 4);
  EXPECT_EQ(io.pauses, (std::vector<DWORD>{100, 100, 200}));

  io.flushes = 0;
  io.pauses.clear();
  ASSERT_EQ(out.Open(file.path.c_str(), OPEN_EXISTING, kDWrite, FILE_SHARE_READ, 0), kDOk);
  io.failing_flushes = 100;
  EXPECT_EQ(out.Close(), DStatusFromSystemError(ERROR_NETNAME_DELETED));
  EXPECT_EQ(io.flushes, 5);
  EXPECT_EQ(io.pauses, (std::vector<DWORD>{100, 100, 200, 300}));
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(file.Size(), 3u);
}
