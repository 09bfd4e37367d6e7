// Starts the host from its own folder with the standard handles it was given
// and waits for it, so that a test becomes the host's grandparent, as a
// browser is.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring host(path, n);
  host = host.substr(0, host.find_last_of(L'\\') + 1) + L"VellumixBrowserHost.exe";
  std::wstring line = L"\"" + host + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(host.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process))
    return 100;
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return int(code);
}
