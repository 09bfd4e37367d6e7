// Stands in for the user in front of a message box (under Wine's null
// graphics driver a message box waits like a real one):
//
//   close_message_box CAPTION
//
// Waits up to 15 s for a visible dialog with that caption, writes its text as
// one UTF-8 line to standard output, then waits until its own standard input
// ends and closes the dialog with OK. So a driver can look at the world while
// the box is still up. Exits 1 when no such box showed.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring BoxText(HWND box) {
  // The message is the box's static text; the icon is a static without text.
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32], text[512];
    GetClassNameW(child, name, 32);
    if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextW(child, text, 512) > 0) return text;
  }
  return std::wstring();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: close_message_box CAPTION\n", stderr);
    return 2;
  }
  HWND box = nullptr;
  std::wstring text;
  for (int i = 0; i < 750 && text.empty(); ++i) {
    Sleep(20);
    box = FindWindowW(L"#32770", argv[1]);
    // The box can be found before its text is set: read it once it shows.
    if (box && IsWindowVisible(box)) text = BoxText(box);
  }
  if (text.empty()) return 1;
  char line[2048];
  int n =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, line, sizeof line - 1, nullptr, nullptr);
  std::printf("%s\n", n > 0 ? line : "");
  std::fflush(stdout);
  char ignored[256];
  DWORD got = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), ignored, sizeof ignored, &got, nullptr) &&
         got > 0) {
  }
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}
