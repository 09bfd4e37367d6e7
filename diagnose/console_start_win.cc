#include "diagnose/console_start_win.h"

#include <windows.h>

#include "diagnose/diagnose.h"
#include "diagnose/report_json.h"
#include "diagnose/report_text.h"
#include "diagnose/system_win.h"
#include "diagnose_build_config.h"
#include "host/dispatch.h"
#include "zevar/dcodepage.h"

namespace {

constexpr char kHint[] =
    "VellumixBrowserHost.exe is started by the browser for the Vellumix extension; run "
    "\"VellumixBrowserHost.exe --diagnose\" to check the installation.";

// A console gets UTF-16 (any code page shows the paths right); a pipe or a
// file gets UTF-8.
class StdLineOutput final : public LineOutput {
 public:
  explicit StdLineOutput(DWORD which) : handle_(GetStdHandle(which)) {}
  bool WriteLine(const char* text, uint32_t length) override {
    DWORD mode = 0;
    if (GetConsoleMode(handle_, &mode)) {
      DWString wide;
      DWORD written = 0;
      return DUtf8ToWide(text, length, &wide) && wide.Append(u"\r\n") &&
             WriteConsoleW(handle_, reinterpret_cast<const wchar_t*>(wide.c_str()), wide.length(),
                           &written, nullptr);
    }
    return Write(text, length) && Write("\r\n", 2);
  }

 private:
  bool Write(const char* bytes, uint32_t count) {
    DWORD written = 0;
    return WriteFile(handle_, bytes, count, &written, nullptr) && written == count;
  }
  HANDLE handle_;
};

int Diagnose(bool json) {
  DString version;
  if (!DWideToUtf8(kHostVersion, DWString::Length(kHostVersion), &version)) return 1;
  DiagnoseConfig config{VLX_HOST_NAME, version.c_str(), VLX_CHROMIUM_EXTENSION_IDS,
                        VLX_FIREFOX_EXTENSION_IDS};
  Win32DiagnoseSystem system;
  StdLineOutput out(STD_OUTPUT_HANDLE);
  TextReport text(&out);
  JsonReport object(&out);
  return RunDiagnosis(&system, json ? static_cast<ReportSink*>(&object) : &text, config);
}

}  // namespace

bool RunConsoleStart(int argc, wchar_t** argv, int* exit_code) {
  if (argc >= 2 && lstrcmpW(argv[1], L"--diagnose") == 0) {
    *exit_code = Diagnose(argc >= 3 && lstrcmpW(argv[2], L"--json") == 0);
    return true;
  }
  // A browser always passes arguments and gives a pipe.
  if (argc == 1 && GetFileType(GetStdHandle(STD_INPUT_HANDLE)) != FILE_TYPE_PIPE) {
    StdLineOutput err(STD_ERROR_HANDLE);
    err.WriteLine(kHint, sizeof kHint - 1);
  }
  return false;
}
