#include "zevar/dpath_exists_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const DWChar* U(const std::wstring& text) { return reinterpret_cast<const DWChar*>(text.c_str()); }

// A fresh folder in the temporary folder, removed with all it holds.
class DPathExistsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(n, 0u);
    folder_ = std::wstring(temp, n) + L"vlx-dpath-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(MakeFolder(folder_));
  }
  void TearDown() override {
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) DeleteFileW(Long(*it).c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
      RemoveDirectoryW(Long(*it).c_str());
    }
  }
  static std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }
  bool MakeFolder(const std::wstring& path) {
    if (!CreateDirectoryW(Long(path).c_str(), nullptr)) return false;
    folders_.push_back(path);
    return true;
  }
  bool MakeFile(const std::wstring& path, const char* content) {
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    files_.push_back(path);
    DWORD written = 0;
    bool ok = WriteFile(file, content, DWORD(strlen(content)), &written, nullptr);
    CloseHandle(file);
    return ok;
  }

  std::wstring folder_;
  std::vector<std::wstring> folders_, files_;
};

}  // namespace

TEST_F(DPathExistsTest, FindsFilesAndFoldersAndFillsTheirData) {
  std::wstring file = folder_ + L"\\r\u00e9sum\u00e9 1.txt";
  ASSERT_TRUE(MakeFile(file, "12345"));
  WIN32_FIND_DATAW data;
  ASSERT_TRUE(DPathExists(U(file), &data));
  EXPECT_STREQ(data.cFileName, L"r\u00e9sum\u00e9 1.txt");
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_FALSE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

  ASSERT_TRUE(DPathExists(U(folder_ + L"\\"), &data));
  EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  std::wstring slashed = folder_;
  for (wchar_t& c : slashed) c = c == L'\\' ? L'/' : c;
  EXPECT_TRUE(DPathExists(U(slashed + L"//")));
  EXPECT_TRUE(DPathExists(U(file)));  // no record wanted

  EXPECT_FALSE(DPathExists(U(folder_ + L"\\missing.txt")));
  EXPECT_FALSE(DPathExists(U(file + L"\\inside")));
  EXPECT_FALSE(DPathExists(u""));
  EXPECT_FALSE(DPathExists(nullptr));
}

TEST_F(DPathExistsTest, RejectsWildcardsAndCharactersNoNameHolds) {
  ASSERT_TRUE(MakeFile(folder_ + L"\\abc.txt", "x"));
  // Each of these would match the file if it reached the file search.
  for (const wchar_t* tail : {L"\\*", L"\\a?c.txt", L"\\ab*", L"\\<", L"\\abc.txt|",
                              L"\\\"abc.txt\"", L"\\abc.txt:stream"}) {
    EXPECT_FALSE(DPathExists(U(folder_ + tail))) << tail;
  }
  std::wstring prefixed = L"\\\\?\\" + folder_ + L"\\abc.txt";
  EXPECT_TRUE(DPathExists(U(prefixed)));
}

TEST_F(DPathExistsTest, DriveRootsAreAskedOfTheShell) {
  WIN32_FIND_DATAW data;
  for (const char16_t* root : {u"C:", u"c:\\", u"C:/"}) {
    std::memset(&data, 0xAB, sizeof data);
    ASSERT_TRUE(DPathExists(root, &data)) << char(root[0]);
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.cFileName[0], L'\0');
  }
  DWORD drives = GetLogicalDrives();
  int unused = 25;
  while (unused > 2 && (drives & (1u << unused))) --unused;
  ASSERT_GT(unused, 2);
  char16_t missing[] = {char16_t(u'A' + unused), u':', u'\\', 0};
  EXPECT_FALSE(DPathExists(missing));
  EXPECT_FALSE(DPathExists(u"C:windows"));
}

TEST_F(DPathExistsTest, LongPathsAreLookedUpWithThePrefix) {
  std::wstring path = folder_;
  while (path.size() < 300) {
    path += L"\\" + std::wstring(60, L'd');
    ASSERT_TRUE(MakeFolder(path));
  }
  std::wstring file = path + L"\\deep.txt";
  ASSERT_TRUE(MakeFile(file, "deep"));
  WIN32_FIND_DATAW data;
  ASSERT_TRUE(DPathExists(U(file), &data));
  EXPECT_STREQ(data.cFileName, L"deep.txt");
  std::wstring slashed = file;
  for (wchar_t& c : slashed) c = c == L'\\' ? L'/' : c;
  EXPECT_TRUE(DPathExists(U(slashed)));
  EXPECT_TRUE(DPathExists(U(path + L"\\")));
  EXPECT_FALSE(DPathExists(U(path + L"\\missing.txt")));
}
