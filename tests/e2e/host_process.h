// Starts a Windows program with pipes made by CreatePipe as its standard
// input and output, as a browser does, and collects what it writes.
#pragma once

#include <windows.h>

#include <string>

// The folder of the running test program, with a final backslash; the
// programs under test are built beside it.
std::wstring ProgramFolder();

// The whole content of a file; empty when it cannot be opened.
std::string ReadWholeFile(const std::wstring& path);

// Deletes a folder (given with its final backslash) and everything in it,
// read-only files included.
void RemoveTree(const std::wstring& folder);

class HostProcess {
 public:
  HostProcess() { InitializeCriticalSection(&output_lock_); }
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  // Writes preload into the input pipe, then starts the program. With an
  // input file (a path, "NUL", "CONIN$") the program reads that instead.
  bool Start(const std::wstring& program, const std::string& preload = "",
             const wchar_t* input_file = nullptr);
  // Puts the program in this job before it runs, as some browsers do.
  void set_job(HANDLE job) { job_ = job; }
  void Write(const std::string& bytes);
  void CloseInput();
  // Waits for the exit and for the end of the output; false on a timeout.
  bool Finish(DWORD timeout_ms = 20000);

  // Waits until the output holds count frames; false on a timeout.
  bool WaitForFrames(size_t count, DWORD timeout_ms = 20000);

  DWORD exit_code() const { return exit_code_; }
  bool Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
  // The program's peak working set so far, in bytes; 0 when unknown.
  SIZE_T PeakWorkingSet() const;
  // Read it after Finish; WaitForFrames while the program runs.
  const std::string& output() const { return output_; }

 private:
  static DWORD WINAPI CollectOutput(void* self);

  HANDLE job_ = nullptr;
  HANDLE process_ = nullptr;
  HANDLE to_child_ = nullptr;
  HANDLE from_child_ = nullptr;
  HANDLE collector_ = nullptr;
  DWORD exit_code_ = STILL_ACTIVE;
  std::string output_;
  CRITICAL_SECTION output_lock_;
};
