// What the end-to-end tests share besides the messages (scripted_channel.h)
// and the temporary folders and files (tests/win/temp_files.h): a Windows
// program started with pipes made by CreatePipe as its standard input and
// output, as a browser starts the host.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/win/temp_files.h"

inline constexpr char kChunkRequest[] = "{ \"action\": \"sendNextData\", \"version\": 1 }";

// The folder of the running test program, with a final backslash; the
// programs under test are built beside it.
std::wstring ProgramFolder();

bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
std::wstring Utf8ToWide(const std::string& text);

// The names of the files (not folders) that match a FindFirstFile pattern.
std::vector<std::wstring> FilesLike(const std::wstring& pattern);

// A folder of the test's own (TempDir: a blank in its path), and in it the
// temporary folder that TMP names from now on; removed at the end.
struct TestFolder : TempDir {
  TestFolder();
  const std::wstring& root = path;
  std::wstring temp;
};

// Answers the messages for this thread's windows (another process's window
// that this thread's window owns waits for them) until done() holds; false
// when it does not within the time.
template <typename Done>
bool PumpUntil(Done done, DWORD timeout_ms = 30000) {
  for (DWORD waited = 0; waited <= timeout_ms; waited += 20, Sleep(20)) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (done()) return true;
  }
  return false;
}

class HostProcess {
 public:
  HostProcess() = default;
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  // Writes preload into the input pipe, then starts the program with the
  // arguments. With an input file (a path, "NUL", "CONIN$") the program
  // reads that instead.
  bool Start(const std::wstring& program, const std::string& preload = "",
             const wchar_t* input_file = nullptr, const std::wstring& arguments = L"");
  // Starts the program as Chrome does by default: cmd.exe runs it with two
  // named pipes as its standard input and output.
  bool StartThroughShell(const std::wstring& program, const std::wstring& arguments,
                         const std::string& preload);
  // Puts the program in this job before it runs, as some browsers do.
  void set_job(HANDLE job) { job_ = job; }
  // The program's current folder (empty: this one's).
  void set_folder(const std::wstring& folder) { folder_ = folder; }
  void Write(const std::string& bytes);
  void CloseInput();
  // Waits for the exit and takes the rest of the output; false on a timeout.
  bool Finish(DWORD timeout_ms = 20000);

  DWORD exit_code() const { return exit_code_; }
  DWORD id() const { return GetProcessId(process_); }
  // The most memory the program has committed to itself so far (its private
  // bytes, or their peak as the system keeps it; after its exit, as Finish
  // last saw them every 10 ms); 0 when unknown. Pages committed and never
  // touched count here, not in the working set.
  SIZE_T PeakCommit() const;
  // The program's peak working set so far (after its exit, as Finish last
  // saw it), in bytes; 0 when unknown.
  SIZE_T PeakWorkingSet() const;
  // What the program wrote to its output and to its standard error, as far
  // as Finish took them.
  const std::string& output() const { return output_; }
  const std::string& errors() const { return errors_; }

 private:
  const wchar_t* Folder() const { return folder_.empty() ? nullptr : folder_.c_str(); }

  HANDLE job_ = nullptr;
  std::wstring folder_;
  HANDLE process_ = nullptr;
  HANDLE to_child_ = nullptr;
  HANDLE from_child_ = nullptr;
  HANDLE errors_from_child_ = nullptr;
  DWORD exit_code_ = STILL_ACTIVE;
  std::string output_;
  std::string errors_;
  SIZE_T peak_commit_ = 0;
  SIZE_T peak_working_set_ = 0;
};

// The converter's settings window whose process runs this program file: a
// test's own, whatever else runs beside it; null when there is none.
HWND SettingsWindowOf(const std::wstring& program);

// Waits until no process that the given one started from the named program
// file runs any more; false when one still does after the time-out.
bool AwaitChildrenOf(DWORD process_id, const wchar_t* program, DWORD timeout_ms = 20000);
