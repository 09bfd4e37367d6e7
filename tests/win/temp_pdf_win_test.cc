// The temporary PDF of "openPDF" on a disk that fills up: whatever offset the
// write fails at, no vlx_*.pdf is left and no path is handed out.
#include "actions/temp_pdf_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// TMP and TEMP point at an empty folder of the test's own while it lives.
class OwnTempFolder {
 public:
  OwnTempFolder() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    folder_ = std::wstring(base) + L"vlx pdf test " + std::to_wstring(GetCurrentProcessId()) +
              L"\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", folder_.c_str());
    SetEnvironmentVariableW(L"TEMP", folder_.c_str());
    base_ = base;
  }
  ~OwnTempFolder() {
    for (const std::wstring& name : Files()) DeleteFileW((folder_ + name).c_str());
    RemoveDirectoryW(folder_.c_str());
    SetEnvironmentVariableW(L"TMP", base_.c_str());
    SetEnvironmentVariableW(L"TEMP", base_.c_str());
  }
  std::vector<std::wstring> Files() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder_ + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
  }

 private:
  std::wstring folder_, base_;
};

// A disk with room for `room` more bytes: a write beyond it puts what fits
// and fails as Windows does when the disk is full.
class FullDiskIo : public DFileIo {
 public:
  explicit FullDiskIo(uint64_t room) : room_(room) {}
  BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done, OVERLAPPED* at) override {
    DWORD fits = count < room_ ? count : DWORD(room_);
    BOOL ok = DFileIo::Write(file, buffer, fits, done, at);
    room_ -= *done;
    if (!ok || fits == count) return ok;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }

 private:
  uint64_t room_;
};

class TempPdfDiskFullTest : public ::testing::TestWithParam<uint64_t> {};

}  // namespace

TEST_P(TempPdfDiskFullTest, LeavesNoFileWhereverTheDiskFills) {
  OwnTempFolder folder;
  FullDiskIo io(GetParam());
  TempPdfFile pdf(&io);
  const std::string piece(1000, 'x');
  bool written = true;
  for (int i = 0; i < 5; ++i)
    written = pdf.Write(reinterpret_cast<const uint8_t*>(piece.data()), 1000) && written;
  EXPECT_FALSE(written);
  EXPECT_TRUE(folder.Files().empty());
  DWString path;
  EXPECT_FALSE(pdf.Close(&path));
  EXPECT_TRUE(path.empty());
  EXPECT_TRUE(folder.Files().empty());

  // The writer is ready for the next document.
  FullDiskIo roomy(1 << 20);
  TempPdfFile next(&roomy);
  EXPECT_TRUE(next.Write(reinterpret_cast<const uint8_t*>(piece.data()), 1000));
  EXPECT_TRUE(next.Close(&path));
  EXPECT_EQ(folder.Files().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Offsets, TempPdfDiskFullTest, ::testing::Values(0, 1, 999, 1000, 4999));

TEST(TempPdfFileTest, RemoveTakesBackWhatWasWritten) {
  OwnTempFolder folder;
  TempPdfFile pdf(DSystemFileIo());
  DWString path;
  EXPECT_FALSE(pdf.Close(&path));  // nothing written: no file at all
  EXPECT_TRUE(pdf.Write(reinterpret_cast<const uint8_t*>("%PDF"), 4));
  EXPECT_EQ(folder.Files().size(), 1u);
  pdf.Remove();
  EXPECT_TRUE(folder.Files().empty());
}
