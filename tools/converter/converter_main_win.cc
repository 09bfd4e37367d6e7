// VereZeDid2Uza.x86.exe, the reference converter: turns the page that the
// host hands over into a PDF of its text, reporting to the host's window as
// it goes, or shows the small settings window.
//
// The PDF is saved as "<save name>.pdf" (an .html, .htm, .mhtml or .mht
// extension replaced; "Untitled" when there is no name) in the folder
// "Vellumix Converter" in the user's temporary folder. A name that Windows
// would open as a device ("NUL.pdf") is refused with result 4.
//
// Results (the finalized message's value, and the exit code):
//   0 the PDF was written   1 the command line was not understood
//   2 the page could not be read   3 cancelled   4 the PDF could not be written
// VLX_CONVERTER_STEP_MS in the environment slows each of the work's steps
// down by that many milliseconds (demonstrations and tests of the cancel).
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tools/converter/converter_args.h"
#include "tools/converter/page_text.h"
#include "tools/converter/pdf_writer.h"
#include "zevar/ddevice_name.h"

namespace {

enum Result : uint32_t { kDone = 0, kBadLine = 1, kUnreadable = 2, kCancelled = 3, kUnwritable = 4 };

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

class Reporter {
 public:
  explicit Reporter(HWND window) : window_(window) {
    progress_ = RegisterWindowMessageW(L"VLX:HTP:Progress");
    finalized_ = RegisterWindowMessageW(L"VLX:HTP:Finalized");
  }
  void Progress(int32_t value) {
    if (window_) PostMessageW(window_, progress_, WPARAM(uint32_t(value)), 0);
  }
  void Block(ULONG_PTR kind, const std::wstring& text) {
    if (!window_) return;
    COPYDATASTRUCT block = {kind, DWORD((text.size() + 1) * sizeof(wchar_t)),
                            const_cast<wchar_t*>(text.c_str())};
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block),
                        SMTO_ABORTIFHUNG, 10000, &answer);
  }
  void Finalized(uint32_t result) {
    if (window_) PostMessageW(window_, finalized_, WPARAM(result), 0);
  }

 private:
  HWND window_;
  UINT progress_ = 0;
  UINT finalized_ = 0;
};

bool ReadWholeFile(const wchar_t* path, std::string* bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buffer[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
    bytes->append(buffer, got);
  CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &put, nullptr) && put == bytes.size();
  CloseHandle(file);
  return ok;
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* tail) {
  size_t n = wcslen(tail);
  return text.size() >= n && _wcsicmp(text.c_str() + text.size() - n, tail) == 0;
}

std::wstring OutputPath(const std::u16string& save_name) {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring folder = std::wstring(temp, n > MAX_PATH ? 0 : n) + L"Vellumix Converter\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring name(save_name.begin(), save_name.end());
  for (const wchar_t* extension : {L".html", L".htm", L".mhtml", L".mht"}) {
    if (EndsWithNoCase(name, extension)) {
      name.resize(name.size() - wcslen(extension));
      break;
    }
  }
  if (name.empty()) name = L"Untitled";
  name += L".pdf";
  // "NUL.pdf" would hand the document to a device: refused, not written.
  if (DDeviceNameLength(reinterpret_cast<const char16_t*>(name.c_str()), uint32_t(name.size())))
    return std::wstring();
  return folder + name;
}

DWORD StepDelay() {
  wchar_t value[16];
  DWORD n = GetEnvironmentVariableW(L"VLX_CONVERTER_STEP_MS", value, 16);
  return n > 0 && n < 16 ? DWORD(wcstoul(value, nullptr, 10)) : 0;
}

uint32_t Convert(const ConverterArguments& arguments, Reporter& reporter) {
  std::wstring event_name = L"Local\\VereZeDid2Uza.Cancel." + std::to_wstring(GetCurrentProcessId());
  HANDLE cancel = CreateEventW(nullptr, TRUE, FALSE, event_name.c_str());
  if (cancel) reporter.Block(1, event_name);
  DWORD delay = StepDelay();
  // Each step first looks whether the host asked to stop.
  auto cancelled = [&] { return cancel && WaitForSingleObject(cancel, delay) == WAIT_OBJECT_0; };

  uint32_t result = kDone;
  std::string page;
  reporter.Progress(0);
  bool read = ReadWholeFile(Wide(arguments.source), &page);
  if (arguments.delete_source) DeleteFileW(Wide(arguments.source));
  if (!read) {
    reporter.Block(2, L"The page could not be read: " +
                          std::wstring(arguments.source.begin(), arguments.source.end()));
    result = kUnreadable;
  }
  std::vector<std::string> lines;
  if (result == kDone && cancelled()) result = kCancelled;
  if (result == kDone) {
    bool is_mhtml = EndsWithNoCase(std::wstring(arguments.source.begin(), arguments.source.end()),
                                   L".mhtml");
    lines = HtmlTextLines(is_mhtml ? MhtmlHtmlPart(page) : page);
    reporter.Progress(40);
    if (cancelled()) result = kCancelled;
  }
  std::string pdf;
  if (result == kDone) {
    std::wstring title(arguments.save_name.begin(), arguments.save_name.end());
    pdf = WritePdf(lines, Utf8(title));
    reporter.Progress(80);
    if (cancelled()) result = kCancelled;
  }
  if (result == kDone) {
    std::wstring path = OutputPath(arguments.save_name);
    if (path.empty()) {
      reporter.Block(2, L"The save name names a device: " +
                            std::wstring(arguments.save_name.begin(), arguments.save_name.end()));
      result = kUnwritable;
    } else if (WriteWholeFile(path, pdf)) {
      reporter.Progress(100);
    } else {
      reporter.Block(2, L"The PDF could not be written: " + path);
      result = kUnwritable;
    }
  }
  if (cancel) CloseHandle(cancel);
  return result;
}

LRESULT CALLBACK SettingsProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

int ShowSettings(const ConverterArguments& arguments) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW info = {};
  info.cbSize = sizeof info;
  info.lpfnWndProc = SettingsProc;
  info.hInstance = instance;
  info.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  info.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
  info.lpszClassName = L"VereZeDid2Uza.Settings";
  if (!RegisterClassExW(&info)) return kBadLine;
  HWND owner = arguments.has_window ? HWND(intptr_t(arguments.window)) : nullptr;
  if (owner && !IsWindow(owner)) owner = nullptr;
  HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, info.lpszClassName,
                                L"Vellumix converter settings",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                                320, 140, owner, nullptr, instance, nullptr);
  if (!window) return kBadLine;
  std::wstring mode = L"Pages from: " + std::wstring(arguments.mode.begin(), arguments.mode.end());
  CreateWindowExW(0, L"STATIC", mode.c_str(), WS_CHILD | WS_VISIBLE, 16, 16, 280, 20, window,
                  nullptr, instance, nullptr);
  CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 220, 60, 80, 26,
                  window, HMENU(IDOK), instance, nullptr);
  ShowWindow(window, SW_SHOW);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int wmain() {
  const wchar_t* line = GetCommandLineW();
  ConverterArguments arguments;
  std::u16string text(reinterpret_cast<const char16_t*>(line));
  if (!ParseConverterArguments(text, &arguments)) return kBadLine;
  if (arguments.settings) return ShowSettings(arguments);
  Reporter reporter(arguments.has_window ? HWND(intptr_t(arguments.window)) : nullptr);
  uint32_t result = Convert(arguments, reporter);
  reporter.Finalized(result);
  return int(result);
}
