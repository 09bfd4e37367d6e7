// Stands in for the converter where the reference converter should not go:
// it follows a script of steps from VLX_DOUBLE_SCRIPT, separated by ';':
//   record          appends its command line (UTF-16, one line) to the file
//                   named by VLX_DOUBLE_RECORD
//   name:<event>    creates the named event and hands its name to the host
//   progress:<n>    posts the progress message with n
//   error:<text>    sends the text as an error text
//   unterminated    sends an error text whose block holds no NUL
//   block3          sends a block with dwData 3
//   wait:<ms>       waits for any of its events; remembers which (1-based)
//   final:<n>       posts the finalized message with n ("final:set" posts
//                   the number of the event that was set, 0 for none)
//   sleep:<ms>, exit:<n>
// The host's window comes from " wndMsgs= " on the command line.
#include <windows.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t value[4096];
  DWORD n = GetEnvironmentVariableW(name, value, 4096);
  return n > 0 && n < 4096 ? std::wstring(value, n) : std::wstring();
}

void SendBlock(HWND window, ULONG_PTR kind, const void* data, DWORD size) {
  COPYDATASTRUCT block = {kind, size, const_cast<void*>(data)};
  SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block));
}

}  // namespace

int wmain() {
  const wchar_t* line = GetCommandLineW();
  HWND window = nullptr;
  if (const wchar_t* at = wcsstr(line, L" wndMsgs= "))
    window = HWND(intptr_t(_wcstoi64(at + 10, nullptr, 10)));
  UINT progress = RegisterWindowMessageW(L"VLX:HTP:Progress");
  UINT finalized = RegisterWindowMessageW(L"VLX:HTP:Finalized");
  std::vector<HANDLE> events;
  DWORD set = 0;

  std::wistringstream steps(Env(L"VLX_DOUBLE_SCRIPT"));
  for (std::wstring step; std::getline(steps, step, L';');) {
    size_t colon = step.find(L':');
    std::wstring verb = step.substr(0, colon);
    std::wstring value = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
    long long number = _wcstoi64(value.c_str(), nullptr, 10);
    if (verb == L"record") {
      HANDLE file = CreateFileW(Env(L"VLX_DOUBLE_RECORD").c_str(), FILE_APPEND_DATA, 0, nullptr,
                                OPEN_ALWAYS, 0, nullptr);
      std::wstring text = std::wstring(line) + L"\n";
      DWORD put = 0;
      WriteFile(file, text.data(), DWORD(text.size() * sizeof(wchar_t)), &put, nullptr);
      CloseHandle(file);
    } else if (verb == L"name") {
      events.push_back(CreateEventW(nullptr, TRUE, FALSE, value.c_str()));
      SendBlock(window, 1, value.c_str(), DWORD((value.size() + 1) * 2));
    } else if (verb == L"progress") {
      PostMessageW(window, progress, WPARAM(uint32_t(number)), 0);
    } else if (verb == L"error") {
      SendBlock(window, 2, value.c_str(), DWORD((value.size() + 1) * 2));
    } else if (verb == L"unterminated") {
      static const wchar_t kText[] = L"cut here|beyond the block";
      SendBlock(window, 2, kText, 8 * 2);
    } else if (verb == L"block3") {
      static const wchar_t kText[] = L"ignored";
      SendBlock(window, 3, kText, sizeof kText);
    } else if (verb == L"wait") {
      DWORD woke = events.empty() ? WAIT_TIMEOUT
                                  : WaitForMultipleObjects(DWORD(events.size()), events.data(),
                                                           FALSE, DWORD(number));
      if (woke < WAIT_OBJECT_0 + events.size()) set = woke - WAIT_OBJECT_0 + 1;
    } else if (verb == L"final") {
      PostMessageW(window, finalized, value == L"set" ? WPARAM(set) : WPARAM(uint32_t(number)), 0);
    } else if (verb == L"sleep") {
      Sleep(DWORD(number));
    } else if (verb == L"exit") {
      ExitProcess(UINT(number));
    }
  }
  for (HANDLE event : events) CloseHandle(event);
  return 0;
}
