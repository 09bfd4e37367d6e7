#include "tests/e2e/host_process.h"

#include <psapi.h>

#include <vector>

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(folder + name + L"\\");
      } else {
        SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW((folder + name).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

HostProcess::~HostProcess() {
  if (process_) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  CloseInput();
  if (collector_) {
    WaitForSingleObject(collector_, 5000);
    CloseHandle(collector_);
  }
  if (from_child_) CloseHandle(from_child_);
  DeleteCriticalSection(&output_lock_);
}

bool HostProcess::Start(const std::wstring& program, const std::string& preload,
                        const wchar_t* input_file) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE child_in = nullptr, child_out = nullptr;
  if (input_file) {
    child_in = CreateFileW(input_file, GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    if (child_in == INVALID_HANDLE_VALUE) return false;
  } else if (!CreatePipe(&child_in, &to_child_, &inherit, 1 << 22)) {
    return false;
  }
  if (!CreatePipe(&from_child_, &child_out, &inherit, 1 << 22)) return false;
  if (to_child_) SetHandleInformation(to_child_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(from_child_, HANDLE_FLAG_INHERIT, 0);
  if (!preload.empty()) Write(preload);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in;
  startup.hStdOutput = child_out;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info = {};
  std::wstring quoted = L"\"" + program + L"\"";
  std::vector<wchar_t> line(quoted.begin(), quoted.end());
  line.push_back(0);
  BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                job_ ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &info);
  CloseHandle(child_in);
  CloseHandle(child_out);
  if (!started) return false;
  if (job_ && (!AssignProcessToJobObject(job_, info.hProcess) ||
               ResumeThread(info.hThread) == DWORD(-1))) {
    TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  collector_ = CreateThread(nullptr, 0, CollectOutput, this, 0, nullptr);
  return collector_ != nullptr;
}

void HostProcess::Write(const std::string& bytes) {
  const char* at = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    DWORD put = 0;
    if (!WriteFile(to_child_, at, DWORD(left), &put, nullptr)) return;
    at += put;
    left -= put;
  }
}

void HostProcess::CloseInput() {
  if (to_child_) CloseHandle(to_child_);
  to_child_ = nullptr;
}

bool HostProcess::Finish(DWORD timeout_ms) {
  if (WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(process_, &exit_code_);
  return WaitForSingleObject(collector_, timeout_ms) == WAIT_OBJECT_0;
}

DWORD WINAPI HostProcess::CollectOutput(void* self) {
  HostProcess* host = static_cast<HostProcess*>(self);
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(host->from_child_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    EnterCriticalSection(&host->output_lock_);
    host->output_.append(buffer, got);
    LeaveCriticalSection(&host->output_lock_);
  }
  return 0;
}

SIZE_T HostProcess::PeakWorkingSet() const {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(process_, &counters, sizeof counters) ? counters.PeakWorkingSetSize
                                                                    : 0;
}

bool HostProcess::WaitForFrames(size_t count, DWORD timeout_ms) {
  for (DWORD waited = 0;; waited += 10) {
    EnterCriticalSection(&output_lock_);
    size_t frames = 0;
    for (size_t at = 0; at + 4 <= output_.size(); ++frames) {
      uint32_t n = uint8_t(output_[at]) | uint8_t(output_[at + 1]) << 8 |
                   uint8_t(output_[at + 2]) << 16 | uint32_t(uint8_t(output_[at + 3])) << 24;
      if (at + 4 + n > output_.size()) break;
      at += 4 + n;
    }
    LeaveCriticalSection(&output_lock_);
    if (frames >= count) return true;
    if (waited >= timeout_ms) return false;
    Sleep(10);
  }
}
