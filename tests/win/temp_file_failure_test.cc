// Failed writes of temporary files leave nothing behind and hand back no
// path. (A name found taken never comes back: the unique names' test.)
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "actions/temp_file_win.h"
#include "tests/win/temp_files.h"
#include "zevar/dfile_write.h"
#include "zevar/dstatus.h"

namespace {

// The disk holds `room` more bytes: a write beyond it puts what fits and
// reports it short, or fails with ERROR_DISK_FULL when nothing fits.
class FullDiskIo : public DFileIo {
 public:
  explicit FullDiskIo(DWORD room) : room_(room) {}
  BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) override {
    if (room_ == 0 && count > 0) {
      SetLastError(ERROR_DISK_FULL);
      return FALSE;
    }
    DWORD fits = count < room_ ? count : room_;
    room_ -= fits;
    return DFileIo::Write(file, buffer, fits, done, at);
  }

 private:
  DWORD room_;
};

const std::string kPage(70000, 'p');

// Points the temporary folder (TMP) at a new folder for the test's life. The
// parameter is the bytes that fit before the disk is full.
class TempFileFailureTest : public ::testing::TestWithParam<DWORD> {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    saved_.assign(temp, GetTempPathW(MAX_PATH + 1, temp));
    SetEnvironmentVariableW(L"TMP", dir.path.c_str());
  }
  void TearDown() override { SetEnvironmentVariableW(L"TMP", saved_.c_str()); }
  int Files() const { return dir.Files(); }
  TempDir dir;
  std::wstring saved_;
};

}  // namespace

// None, one, a page, one PDF piece, all but one.
INSTANTIATE_TEST_SUITE_P(Offsets, TempFileFailureTest,
                         ::testing::Values(0u, 1u, 4096u, 10000u, DWORD(kPage.size() - 1)));

// Whichever write meets the full disk, no file stays and no path comes back:
// a file written in one go, a temporary file (the PDF of "openPDF", a
// conversion's page) in pieces. The next one is written.
TEST_P(TempFileFailureTest, FullDiskLeavesNoFileAndNoPath) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(kPage.data());
  FullDiskIo io(GetParam()), pdf_io(GetParam());
  DWString path;
  ASSERT_TRUE(path.Assign(U(dir.path + L"vlx_direct.pdf")));
  EXPECT_EQ(DWriteNewFile(&io, path.c_str(), bytes, uint32_t(kPage.size())),
            GetParam() == 0 ? DStatusFromSystemError(ERROR_DISK_FULL) : kDShortWrite);
  EXPECT_EQ(Files(), 0);

  TempFile pdf(&pdf_io, u"pdf");
  bool written = true;
  for (size_t at = 0; at < kPage.size(); at += 10000)
    written = pdf.Write(bytes + at, 10000) && written;
  EXPECT_FALSE(written);
  EXPECT_EQ(Files(), 0);
  EXPECT_FALSE(pdf.Close(&path));
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(Files(), 0);

  TempFile next(DSystemFileIo(), u"mhtml");
  EXPECT_FALSE(next.Close(&path));  // nothing written: no file at all
  EXPECT_TRUE(next.Write(bytes, 1000));
  EXPECT_TRUE(next.Close(&path));
  EXPECT_EQ(Files(), 1);
  // A removed one takes back what was written.
  EXPECT_TRUE(next.Write(bytes, 4));
  EXPECT_EQ(Files(), 2);
  next.Remove();
  EXPECT_EQ(Files(), 1);
}
