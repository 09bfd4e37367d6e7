#include "zevar/dpath_exists_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/win/temp_files.h"

TEST(DPathExistsTest, FindsFilesFoldersAndDriveRootsAndFillsTheirData) {
  TempDir dir;
  const std::wstring file = dir.path + L"r\u00e9sum\u00e9 1.txt";
  ASSERT_TRUE(PutFile(file, "12345"));
  WIN32_FIND_DATAW data;
  ASSERT_TRUE(DPathExists(U(file), &data));
  EXPECT_STREQ(data.cFileName, L"r\u00e9sum\u00e9 1.txt");
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_FALSE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

  ASSERT_TRUE(DPathExists(U(dir.path), &data));
  EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(DPathExists(U(file)));  // no record wanted
  EXPECT_TRUE(DPathExists(U(L"\\\\?\\" + file)));

  EXPECT_FALSE(DPathExists(U(dir.path + L"missing.txt")));
  EXPECT_FALSE(DPathExists(U(file + L"\\inside")));
  EXPECT_FALSE(DPathExists(u""));
  EXPECT_FALSE(DPathExists(nullptr));
  // Each of these would match the file if it reached the file search.
  for (const wchar_t* tail :
       {L"*", L"r?sum\u00e9 1.txt", L"r\u00e9s*", L"<", L"r\u00e9sum\u00e9 1.txt|",
        L"\"r\u00e9sum\u00e9 1.txt\"", L"r\u00e9sum\u00e9 1.txt:stream"}) {
    EXPECT_FALSE(DPathExists(U(dir.path + tail))) << tail;
  }

  // Paths longer than MAX_PATH are looked up with the \\?\ prefix.
  std::wstring deep = dir.path;
  while (deep.size() < 300) {
    deep += std::wstring(60, L'd') + L"\\";
    ASSERT_TRUE(CreateDirectoryW(Long(deep).c_str(), nullptr));
  }
  ASSERT_TRUE(PutFile(deep + L"deep.txt", "deep"));
  ASSERT_TRUE(DPathExists(U(deep + L"deep.txt"), &data));
  EXPECT_STREQ(data.cFileName, L"deep.txt");
  std::wstring slashed = deep + L"deep.txt";
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  EXPECT_TRUE(DPathExists(U(slashed)));
  EXPECT_TRUE(DPathExists(U(slashed.substr(0, dir.path.size()) + L"/")));
  EXPECT_TRUE(DPathExists(U(deep)));
  EXPECT_FALSE(DPathExists(U(deep + L"missing.txt")));

  // Drive roots are asked of the shell; a letter that names no drive is not.
  for (const char16_t* root : {u"C:", u"c:\\", u"C:/"}) {
    std::memset(&data, 0xAB, sizeof data);
    ASSERT_TRUE(DPathExists(root, &data)) << char(root[0]);
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.cFileName[0], L'\0');
  }
  char16_t missing[] = u"Z:\\";  // the last letter that names no drive
  while (missing[0] > u'C' && (GetLogicalDrives() & (1u << (missing[0] - u'A')))) --missing[0];
  ASSERT_GT(missing[0], u'C');
  EXPECT_FALSE(DPathExists(missing));
}
