// The real host with the stand-in editor installed in a folder of its own,
// registered under HKLM, and with its own temporary folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/host_process.h"
#include "tests/fuzz/base64_plain.h"

struct EditorStart {
  std::wstring module;        // the program that was started
  bool in_job;                // started inside a job object
  std::wstring command_line;  // exactly as it received it
};

class EditorFixture {
 public:
  EditorFixture();
  ~EditorFixture();

  // <root>\Edit Dir\ holding VLXEditor.exe; a planted <root>\Edit.exe would
  // run if the program name were guessed from the unquoted path.
  const std::wstring& root() const { return root_; }
  const std::wstring& install_folder() const { return install_; }
  std::wstring editor_path() const { return install_ + L"VLXEditor.exe"; }
  const std::wstring& temp_folder() const { return temp_; }

  static bool SetInstallPath(const std::wstring& value, DWORD type = REG_SZ);
  static bool SetInstallPathDword();
  static void DeleteKey();

  // Runs the host over the frames and waits for it; true when it exited.
  bool RunHost(const std::string& frames, HostProcess* host);

  // Waits until at least count starts were recorded, then a little longer to
  // catch starts that should not have happened.
  std::vector<EditorStart> WaitForStarts(size_t count);
  std::vector<std::wstring> TempPdfFiles() const;

 private:
  std::wstring root_, install_, temp_, log_;
};

inline std::string Base64(const std::string& bytes) { return PlainBase64Encode(bytes); }

// Closes the next "Vellumix" message box, keeping the text it showed.
class MessageBoxCloser {
 public:
  MessageBoxCloser();
  ~MessageBoxCloser();
  // Waits for the closer; the text is empty when no box appeared.
  std::wstring Text();

 private:
  static DWORD WINAPI Run(void* self);
  HANDLE thread_;
  std::wstring text_;
};
