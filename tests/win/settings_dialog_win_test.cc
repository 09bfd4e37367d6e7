// The settings dialog's program is found as the shell finds a bare name:
// App Paths of the user, then of the machine (a quoted value, or one with
// %variables%), then the current folder, then the search path.
#include "launch/settings_dialog_win.h"

#include <gtest/gtest.h>

#include "host/platform_win.h"
#include "tests/win/temp_files.h"

TEST(FindProgramLikeShellTest, AppPathsThenCurrentFolderThenSearchPath) {
  TempDir dir;
  const wchar_t kName[] = L"vlx-find-test.exe";
  const std::wstring key =
      std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + kName;
  const wchar_t* places[] = {L"user", L"machine", L"current", L"search"};
  for (const wchar_t* place : places) {
    CreateDirectoryW((dir.path + place).c_str(), nullptr);
    ASSERT_TRUE(PutFile(dir.path + place + L"\\" + kName, "MZ"));
  }
  SetEnvironmentVariableW(L"VLX_FIND_ROOT", dir.path.c_str());
  const std::wstring user = L"\"" + dir.path + L"user\\" + kName + L"\"";
  const std::wstring machine = std::wstring(L"%VLX_FIND_ROOT%machine\\") + kName;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, REG_SZ, user.c_str(),
                            DWORD(user.size() + 1) * 2),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_EXPAND_SZ,
                            machine.c_str(), DWORD(machine.size() + 1) * 2),
            ERROR_SUCCESS);
  wchar_t saved_folder[MAX_PATH], saved_path[4096];
  GetCurrentDirectoryW(MAX_PATH, saved_folder);
  GetEnvironmentVariableW(L"PATH", saved_path, 4096);
  SetCurrentDirectoryW((dir.path + L"current").c_str());
  SetEnvironmentVariableW(L"PATH", (dir.path + L"search").c_str());
  // Each place in turn loses its program; the next one is found.
  for (const wchar_t* place : places) {
    DWString found;
    ASSERT_TRUE(FindProgramLikeShell(U(kName), &found)) << place;
    EXPECT_EQ(std::wstring(W(found.c_str())), dir.path + place + L"\\" + kName);
    DeleteFileW((dir.path + place + L"\\" + kName).c_str());
  }
  DWString none;
  EXPECT_FALSE(FindProgramLikeShell(U(kName), &none));
  EXPECT_TRUE(none.empty());
  SetCurrentDirectoryW(saved_folder);
  SetEnvironmentVariableW(L"PATH", saved_path);
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}
