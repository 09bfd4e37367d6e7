#include "tests/e2e/host_process.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <vector>

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring Utf8ToWide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n);
  return out;
}

std::vector<std::wstring> FilesLike(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return names;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  bool written = file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return file && fclose(file) == 0 && written;
}

TestFolder::TestFolder() {
  temp = root + L"temp\\";
  CreateDirectoryW(temp.c_str(), nullptr);
  SetEnvironmentVariableW(L"TMP", temp.c_str());  // GetTempPath looks at it first
}

HostProcess::~HostProcess() {
  if (process_) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  CloseInput();
  if (from_child_) CloseHandle(from_child_);
  if (errors_from_child_) CloseHandle(errors_from_child_);
}

bool HostProcess::Start(const std::wstring& program, const std::string& preload,
                        const wchar_t* input_file, const std::wstring& arguments) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE child_in = nullptr, child_out = nullptr, child_errors = nullptr;
  if (input_file) {
    child_in = CreateFileW(input_file, GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    if (child_in == INVALID_HANDLE_VALUE) return false;
  } else if (!CreatePipe(&child_in, &to_child_, &inherit, 1 << 22)) {
    return false;
  }
  if (!CreatePipe(&from_child_, &child_out, &inherit, 1 << 22) ||
      !CreatePipe(&errors_from_child_, &child_errors, &inherit, 1 << 16))
    return false;
  if (to_child_) SetHandleInformation(to_child_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(from_child_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errors_from_child_, HANDLE_FLAG_INHERIT, 0);
  if (!preload.empty()) Write(preload);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in;
  startup.hStdOutput = child_out;
  startup.hStdError = child_errors;
  PROCESS_INFORMATION info = {};
  std::wstring line = L"\"" + program + L"\" " + arguments;
  BOOL started = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE,
                                job_ ? CREATE_SUSPENDED : 0, nullptr, Folder(), &startup, &info);
  CloseHandle(child_in);
  CloseHandle(child_out);
  CloseHandle(child_errors);
  if (!started) return false;
  process_ = info.hProcess;
  bool running = !job_ || (AssignProcessToJobObject(job_, info.hProcess) &&
                           ResumeThread(info.hThread) != DWORD(-1));
  CloseHandle(info.hThread);
  return running;
}

bool HostProcess::StartThroughShell(const std::wstring& program, const std::wstring& arguments,
                                    const std::string& preload) {
  const std::wstring pipe = L"\\\\.\\pipe\\vlx.test." + std::to_wstring(GetCurrentProcessId()) +
                            L"." + std::to_wstring(GetTickCount64());
  // The input end does not wait for its client, so that a shell that never
  // opens it cannot hang the test.
  to_child_ = CreateNamedPipeW((pipe + L".in").c_str(), PIPE_ACCESS_OUTBOUND, PIPE_NOWAIT, 1,
                               1 << 22, 1 << 22, 0, nullptr);
  from_child_ = CreateNamedPipeW((pipe + L".out").c_str(), PIPE_ACCESS_INBOUND, PIPE_WAIT, 1,
                                 1 << 22, 1 << 22, 0, nullptr);
  for (HANDLE* end : {&to_child_, &from_child_})
    if (*end == INVALID_HANDLE_VALUE) *end = nullptr;
  if (!to_child_ || !from_child_) return false;
  std::wstring line = L"cmd.exe /d /s /c \"\"" + program + L"\" " + arguments + L" < " + pipe +
                      L".in > " + pipe + L".out\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      Folder(), &startup, &info))
    return false;
  process_ = info.hProcess;
  CloseHandle(info.hThread);
  bool connected = false;
  for (int i = 0; i < 3000 && !connected; ++i, Sleep(10))
    connected = !ConnectNamedPipe(to_child_, nullptr) && GetLastError() == ERROR_PIPE_CONNECTED;
  DWORD wait = PIPE_WAIT;
  if (!connected || !SetNamedPipeHandleState(to_child_, &wait, nullptr, nullptr)) return false;
  Write(preload);
  return true;
}

void HostProcess::Write(const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    DWORD put = 0;
    if (!WriteFile(to_child_, bytes.data() + at, DWORD(bytes.size() - at), &put, nullptr)) return;
    at += put;
  }
}

void HostProcess::CloseInput() {
  if (to_child_) CloseHandle(to_child_);
  to_child_ = nullptr;
}

bool HostProcess::Finish(DWORD timeout_ms) {
  // Reads on while it waits: a full pipe would stop the program.
  auto collect = [this] {
    char buffer[65536];
    DWORD waiting = 0, got = 0;
    for (auto [from, into] :
         {std::make_pair(from_child_, &output_), std::make_pair(errors_from_child_, &errors_)})
      while (PeekNamedPipe(from, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0 &&
             ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0)
        into->append(buffer, got);
  };
  auto sample = [this] {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
      return;
    peak_commit_ = std::max({peak_commit_, counters.PrivateUsage, counters.PeakPagefileUsage});
    peak_working_set_ = std::max(peak_working_set_, counters.PeakWorkingSetSize);
  };
  for (DWORD waited = 0; WaitForSingleObject(process_, 10) == WAIT_TIMEOUT; waited += 10) {
    sample();
    collect();
    if (waited >= timeout_ms) return false;
  }
  GetExitCodeProcess(process_, &exit_code_);
  collect();
  return true;
}

SIZE_T HostProcess::PeakCommit() const {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters))
    return peak_commit_;
  return std::max({peak_commit_, counters.PrivateUsage, counters.PeakPagefileUsage});
}

SIZE_T HostProcess::PeakWorkingSet() const {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process_, &counters, sizeof counters)) return peak_working_set_;
  return std::max(peak_working_set_, counters.PeakWorkingSetSize);
}

namespace {

std::wstring ProgramOf(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process) return L"";
  wchar_t path[MAX_PATH];
  DWORD size = MAX_PATH;
  const bool named = QueryFullProcessImageNameW(process, 0, path, &size);
  CloseHandle(process);
  return named ? std::wstring(path, size) : L"";
}

}  // namespace

HWND SettingsWindowOf(const std::wstring& program) {
  for (HWND window = nullptr;
       (window = FindWindowExW(nullptr, window, L"VereZeDid2Uza.Settings", nullptr));)
    if (!_wcsicmp(ProgramOf(window).c_str(), program.c_str())) return window;
  return nullptr;
}

bool AwaitChildrenOf(DWORD process_id, const wchar_t* program, DWORD timeout_ms) {
  for (DWORD waited = 0;; waited += 20, Sleep(20)) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    bool running = false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
      running |= entry.th32ParentProcessID == process_id && !_wcsicmp(entry.szExeFile, program);
    CloseHandle(snapshot);
    if (!running) return true;
    if (waited >= timeout_ms) return false;
  }
}
