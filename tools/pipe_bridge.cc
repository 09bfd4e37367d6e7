// Starts a program with Windows pipes as its standard input and output, as a
// browser on Windows does, and copies bytes between those pipes and this
// program's own standard streams. Under Wine this is how a Linux driver (a
// shell script, a test, a Linux browser) talks to the host: the host needs
// pipes made by CreatePipe for PeekNamedPipe to work.
//
//   pipe_bridge [--preload] [--close] program.exe [arguments...]
//
// --preload  read all of standard input first and write it into the pipe
//            before the program starts (requests already waiting)
// --close    close the program's input once everything was written
// Exits with the program's exit code.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string ReadAll(HANDLE from) {
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool WriteAll(HANDLE to, const char* bytes, size_t count) {
  while (count > 0) {
    DWORD put = 0;
    if (!WriteFile(to, bytes, DWORD(count), &put, nullptr)) return false;
    bytes += put;
    count -= put;
  }
  return true;
}

struct Feed {
  HANDLE from;
  HANDLE to;
  bool close_after;
};

DWORD WINAPI CopyInput(void* param) {
  Feed* feed = static_cast<Feed*>(param);
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(feed->from, buffer, sizeof buffer, &got, nullptr) && got > 0)
    if (!WriteAll(feed->to, buffer, got)) break;
  if (feed->close_after) CloseHandle(feed->to);
  return 0;
}

std::wstring Quote(const wchar_t* arg) {
  std::wstring quoted = L"\"";
  quoted += arg;
  quoted += L"\"";
  return quoted;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool preload = false, close_input = false;
  int first = 1;
  for (; first < argc && argv[first][0] == L'-'; ++first) {
    if (!wcscmp(argv[first], L"--preload")) preload = true;
    else if (!wcscmp(argv[first], L"--close")) close_input = true;
  }
  if (first >= argc) {
    std::fputs("usage: pipe_bridge [--preload] [--close] program.exe [arguments...]\n", stderr);
    return 2;
  }
  std::wstring command_line = Quote(argv[first]);
  for (int i = first + 1; i < argc; ++i) command_line += L" " + Quote(argv[i]);

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE child_in = nullptr, to_child = nullptr, from_child = nullptr, child_out = nullptr;
  if (!CreatePipe(&child_in, &to_child, &inherit, 1 << 22) ||
      !CreatePipe(&from_child, &child_out, &inherit, 1 << 22)) {
    std::fputs("pipe_bridge: CreatePipe failed\n", stderr);
    return 2;
  }
  SetHandleInformation(to_child, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(from_child, HANDLE_FLAG_INHERIT, 0);

  HANDLE own_in = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE own_out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (preload) {
    std::string bytes = ReadAll(own_in);
    WriteAll(to_child, bytes.data(), bytes.size());
    if (close_input) {
      CloseHandle(to_child);
      to_child = nullptr;
    }
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in;
  startup.hStdOutput = child_out;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> line(command_line.begin(), command_line.end());
  line.push_back(0);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "pipe_bridge: cannot start the program (error %lu)\n", GetLastError());
    return 2;
  }
  CloseHandle(child_in);
  CloseHandle(child_out);
  CloseHandle(process.hThread);

  Feed feed = {own_in, to_child, close_input};
  HANDLE feeder = nullptr;
  if (!preload) feeder = CreateThread(nullptr, 0, CopyInput, &feed, 0, nullptr);

  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(from_child, buffer, sizeof buffer, &got, nullptr) && got > 0)
    WriteAll(own_out, buffer, got);

  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hProcess);
  CloseHandle(from_child);
  // A feeder still blocked on our own input ends with the process.
  if (feeder) CloseHandle(feeder);
  if (preload && to_child) CloseHandle(to_child);
  return int(exit_code);
}
