#include "tests/e2e/editor_fixture.h"

#include "tests/unit/scripted_channel.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Vellumix\\PDFEditor";

std::wstring TempRoot() {
  // Taken once: later fixtures point TMP at folders of their own.
  static const std::wstring base = [] {
    wchar_t path[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, path);
    return std::wstring(path);
  }();
  static int counter = 0;
  return base + L"vlx editor " + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter) + L"\\";
}

bool SetValue(DWORD type, const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG status =
      RegSetValueExW(key, L"InstallPath", 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace

EditorFixture::EditorFixture()
    : root_(TempRoot()), install_(root_ + L"Edit Dir\\"), temp_(root_ + L"temp\\"),
      log_(root_ + L"editor.log") {
  CreateDirectoryW(root_.c_str(), nullptr);
  CreateDirectoryW(install_.c_str(), nullptr);
  CreateDirectoryW(temp_.c_str(), nullptr);
  std::wstring stand_in = ProgramFolder() + L"VLXEditor.exe";
  CopyFileW(stand_in.c_str(), editor_path().c_str(), FALSE);
  CopyFileW(stand_in.c_str(), (root_ + L"Edit.exe").c_str(), FALSE);
  // Inherited by the host and through it by the editor.
  SetEnvironmentVariableW(L"VLX_EDITOR_LOG", log_.c_str());
  SetEnvironmentVariableW(L"TMP", temp_.c_str());
  SetEnvironmentVariableW(L"TEMP", temp_.c_str());
  DeleteKey();
}

EditorFixture::~EditorFixture() {
  DeleteKey();
  RemoveTree(root_);
}

bool EditorFixture::SetInstallPath(const std::wstring& value, DWORD type) {
  return SetValue(type, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t)));
}

bool EditorFixture::SetInstallPathDword() {
  DWORD value = 1;
  return SetValue(REG_DWORD, &value, sizeof value);
}

void EditorFixture::DeleteKey() {
  for (REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)})
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, view, 0);
}

bool EditorFixture::RunHost(const std::string& frames, HostProcess* host) {
  return host->Start(ProgramFolder() + L"VellumixBrowserHost.exe", frames) && host->Finish();
}

std::vector<EditorStart> EditorFixture::WaitForStarts(size_t count) {
  auto read = [this] {
    std::vector<EditorStart> starts;
    for (const std::string& record : SplitFrames(ReadWholeFile(log_))) {
      size_t cut = record.find('\n');
      size_t cut2 = record.find('\n', cut + 1);
      if (cut == std::string::npos || cut2 == std::string::npos) break;  // still being written
      starts.push_back({Utf8ToWide(record.substr(0, cut)),
                        record.substr(cut + 1, cut2 - cut - 1) == "job",
                        Utf8ToWide(record.substr(cut2 + 1))});
    }
    return starts;
  };
  for (int i = 0; i < 500 && read().size() < count; ++i) Sleep(20);
  Sleep(300);
  return read();
}

std::vector<std::wstring> EditorFixture::TempPdfFiles() const { return FilesLike(temp_ + L"*"); }

MessageBoxCloser::MessageBoxCloser() : thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}

MessageBoxCloser::~MessageBoxCloser() { Text(); }

std::wstring MessageBoxCloser::Text() {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return text_;
}

DWORD WINAPI MessageBoxCloser::Run(void* self) {
  MessageBoxCloser* closer = static_cast<MessageBoxCloser*>(self);
  for (int i = 0; i < 750; ++i) {
    Sleep(20);
    HWND box = FindWindowW(L"#32770", L"Vellumix");
    // The box can be found before its text is set: read it once it shows.
    if (!box || !IsWindowVisible(box)) continue;
    // The message is the box's static text; the icon is a static without text.
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t name[32], text[256];
      GetClassNameW(child, name, 32);
      if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextW(child, text, 256) > 0)
        closer->text_ = text;
    }
    if (closer->text_.empty()) continue;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
  }
  return 0;
}
