// The host started as each browser starts it on Windows, by a stand-in
// browser (this test) that shows a window of its own: Chrome through cmd.exe
// and named pipes, Chrome directly with its window or 0 named, Firefox
// suspended in a job that lets children break away and that it ends as soon
// as the host exits, and a job that lets nothing break away. In each the
// host serves a version, a chunked document for the editor, a conversion and
// the settings dialog, which the browser's window owns; the editor and the
// dialog run on after the job has ended.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/host_process.h"
#include "tests/unit/scripted_channel.h"

namespace {

enum class Launch { kShell, kDirect, kJob };

struct LaunchMode {
  const char* name;
  Launch launch;
  const wchar_t* arguments;  // %W: the browser's window
  DWORD job_limits;
};

void PrintTo(const LaunchMode& mode, std::ostream* out) { *out << mode.name; }

const wchar_t kFirefoxArguments[] =
    L"\"C:\\Program Files\\Vellumix\\com.vellumix.browser_host.firefox.json\" agent@vellumix.test";

const LaunchMode kModes[] = {
    {"ChromeThroughShell", Launch::kShell, L"chrome-extension://abc/ --parent-window=0", 0},
    {"ChromeDirect", Launch::kDirect, L"chrome-extension://abc/ --parent-window=%W", 0},
    {"ChromeDirectFromWorker", Launch::kDirect, L"--parent-window=0 chrome-extension://abc/", 0},
    {"Firefox", Launch::kJob, kFirefoxArguments, JOB_OBJECT_LIMIT_BREAKAWAY_OK},
    {"JobWithoutBreakaway", Launch::kJob, kFirefoxArguments, 0},
};

const wchar_t kEditorKey[] = L"SOFTWARE\\Vellumix\\PDFEditor";

bool SetEditorFolder(const std::wstring& folder) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEditorKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG status =
      RegSetValueExW(key, L"InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                     DWORD((folder.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool JobIsEmpty(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
  return QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                   nullptr) &&
         info.ActiveProcesses == 0;
}

class BrowserLaunchTest : public ::testing::TestWithParam<LaunchMode>, protected TestFolder {
 protected:
  BrowserLaunchTest() {
    CreateDirectoryW(editor_folder.c_str(), nullptr);
    const std::wstring built = ProgramFolder();
    CopyFileW((built + L"VellumixBrowserHost.exe").c_str(), Host().c_str(), FALSE);
    // For the conversion from the host's folder, and for the settings from the
    // current folder, which browsers make the host's folder.
    CopyFileW((built + L"VereZeDid2Uza.x86.exe").c_str(), (root + L"VereZeDid2Uza.x86.exe").c_str(),
              FALSE);
    CopyFileW((built + L"VLXEditor.exe").c_str(), (editor_folder + L"VLXEditor.exe").c_str(),
              FALSE);
    SetEnvironmentVariableW(L"VLX_EDITOR_LOG", log.c_str());
    const std::wstring hold_name =
        L"Local\\vlx-editor-hold-" + std::to_wstring(GetCurrentProcessId());
    hold = CreateEventW(nullptr, TRUE, FALSE, hold_name.c_str());
    SetEnvironmentVariableW(L"VLX_EDITOR_HOLD", hold_name.c_str());
    browser = CreateWindowExW(0, L"STATIC", L"browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                              100, nullptr, nullptr, nullptr, nullptr);
  }
  ~BrowserLaunchTest() override {
    SetEvent(hold);
    CloseHandle(hold);
    SetEnvironmentVariableW(L"VLX_EDITOR_HOLD", nullptr);
    if (job) CloseHandle(job);
    DestroyWindow(browser);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEditorKey);
  }
  std::wstring Host() const { return root + L"VellumixBrowserHost.exe"; }
  std::vector<std::string> EditorRecords() const { return SplitFrames(Contents(log)); }

  const std::wstring editor_folder = root + L"Edit Dir\\", log = root + L"editor.log";
  HANDLE hold = nullptr, job = nullptr;
  HWND browser = nullptr;
};

}  // namespace

TEST_P(BrowserLaunchTest, ServesEveryRequestAndWhatItStartsOutlivesTheHost) {
  const LaunchMode& mode = GetParam();
  ASSERT_TRUE(browser && hold && SetEditorFolder(editor_folder));
  const bool breaks_away = mode.launch != Launch::kJob || mode.job_limits != 0;
  HostProcess host;
  host.set_folder(root);
  if (mode.launch == Launch::kJob) {
    ASSERT_TRUE(job = CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = mode.job_limits;
    ASSERT_TRUE(
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits));
    host.set_job(job);
  }
  std::wstring arguments = mode.arguments;
  if (size_t at = arguments.find(L"%W"); at != std::wstring::npos)
    arguments.replace(at, 2, std::to_wstring(reinterpret_cast<uintptr_t>(browser)));
  const std::string pdf = "data:application/pdf;base64,JVBERi0xLjQK";
  const std::string requests =
      Frame(R"({"action":"actGetVersion"})") +
      Frame(R"({"action":"openPDF","data":")" + pdf.substr(0, 20) + R"(","dataRest":1})") +
      Frame(R"({"action":"openPDF","data":")" + pdf.substr(20) + R"(","dataRest":0})") +
      Frame(R"({"action":"HTMLoPDF","title":"page","htmlText":"<p>text</p>"})") +
      Frame(R"({"action":"preferences"})");
  ASSERT_TRUE(mode.launch == Launch::kShell ? host.StartThroughShell(Host(), arguments, requests)
                                            : host.Start(Host(), requests, nullptr, arguments));
  ASSERT_TRUE(PumpUntil([&] { return host.Finish(0); }));
  // As Firefox does once the host has exited; a job that holds its children
  // is ended only after they were seen.
  if (job && breaks_away) {
    ASSERT_TRUE(TerminateJobObject(job, 1));
    ASSERT_TRUE(PumpUntil([&] { return JobIsEmpty(job); }));
  }
  EXPECT_EQ(SplitFrames(host.output()),
            (std::vector<std::string>{Reply("0", "11.1.1.0"), kChunkRequest, Reply("0"),
                                      Progress("0"), Progress("40"), Progress("80"),
                                      Progress("100"), Reply("0"), Reply("0")}));

  HWND settings = nullptr;
  EXPECT_TRUE(PumpUntil([&] {
    return (settings = FindWindowW(L"VereZeDid2Uza.Settings", nullptr)) != nullptr;
  })) << "no settings dialog";
  EXPECT_EQ(GetWindow(settings, GW_OWNER), browser);
  ASSERT_TRUE(PumpUntil([&] { return !EditorRecords().empty(); })) << "no editor";
  const std::wstring editor_path = editor_folder + L"VLXEditor.exe\n";
  const std::string editor = Narrow(U(editor_path), editor_path.size());
  EXPECT_EQ(EditorRecords()[0].substr(0, editor.size() + 4),
            editor + (breaks_away ? "free" : "job\n"));
  if (breaks_away) {
    SetEvent(hold);  // the editor records its start once more when it is still running
    EXPECT_TRUE(PumpUntil([&] { return EditorRecords().size() == 2; })) << "editor ended";
    PostMessageW(settings, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(settings); }));
  } else {
    TerminateJobObject(job, 1);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(settings) && JobIsEmpty(job); }));
  }
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserLaunchTest, ::testing::ValuesIn(kModes),
                         [](const auto& mode) { return std::string(mode.param.name); });
