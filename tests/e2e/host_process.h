// What the end-to-end tests share: the host's messages, files and folders,
// and a Windows program started with pipes made by CreatePipe as its
// standard input and output, as a browser starts the host.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline std::string Reply(const std::string& state, const std::string& answer = "") {
  return "{\n    \"action\": \"responceDone\",\n    \"version\": 3,\n    \"state\": " + state +
         ",\n    \"answer\": \"" + answer + "\"\n}";
}
// A converter's report: "HTML2PDFProgress" or "HTML2PDFError" with its value.
inline std::string Report(const std::string& action, const std::string& value) {
  return "{\n    \"action\": \"" + action + "\",\n    \"version\": 1,\n    \"value\": " + value +
         "\n}";
}
inline std::string Progress(const std::string& value) { return Report("HTML2PDFProgress", value); }
inline constexpr char kChunkRequest[] = "{ \"action\": \"sendNextData\", \"version\": 1 }";

// The folder of the running test program, with a final backslash; the
// programs under test are built beside it.
std::wstring ProgramFolder();

// The whole content of a file; empty when it cannot be opened.
std::string ReadWholeFile(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
std::wstring Utf8ToWide(const std::string& text);

// The names of the files (not folders) that match a FindFirstFile pattern.
std::vector<std::wstring> FilesLike(const std::wstring& pattern);

// Deletes a folder (given with its final backslash) and everything in it.
void RemoveTree(const std::wstring& folder);

// A folder of the test's own, with a blank in its path, and in it the
// temporary folder that TMP names from now on; removed at the end.
struct TestFolder {
  TestFolder();
  ~TestFolder() { RemoveTree(root); }
  std::wstring root, temp;
};

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
  // Puts the program in this job before it runs, as some browsers do.
  void set_job(HANDLE job) { job_ = job; }
  void Write(const std::string& bytes);
  void CloseInput();
  // Waits for the exit and takes the rest of the output; false on a timeout.
  bool Finish(DWORD timeout_ms = 20000);

  DWORD exit_code() const { return exit_code_; }
  // The program's peak working set so far, in bytes; 0 when unknown.
  SIZE_T PeakWorkingSet() const;
  // What the program wrote, as far as Finish took it.
  const std::string& output() const { return output_; }

 private:
  HANDLE job_ = nullptr;
  HANDLE process_ = nullptr;
  HANDLE to_child_ = nullptr;
  HANDLE from_child_ = nullptr;
  DWORD exit_code_ = STILL_ACTIVE;
  std::string output_;
};
