// The host started as each browser starts it on Windows, by a stand-in
// browser (this test) with a visible window of its own. It serves a version,
// a chunked openPDF and an openByURL for the editor, a conversion and the
// settings dialog, which the browser's window owns; where the job lets them
// break away, the editor and the dialog run on after the job has ended.
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
    // Chrome's default: cmd.exe and named pipes; 0 when a service worker calls.
    {"ChromeThroughShell", Launch::kShell, L"chrome-extension://abc/ --parent-window=0", 0},
    // NativeHostsExecutablesLaunchDirectly: the arguments in either order.
    {"ChromeDirect", Launch::kDirect, L"chrome-extension://abc/ --parent-window=%W", 0},
    {"ChromeDirectFromWorker", Launch::kDirect, L"--parent-window=0 chrome-extension://abc/", 0},
    // Suspended in a job that it ends as soon as the host exits.
    {"Firefox", Launch::kJob, kFirefoxArguments, JOB_OBJECT_LIMIT_BREAKAWAY_OK},
    {"JobWithoutBreakaway", Launch::kJob, kFirefoxArguments, 0},
};
const wchar_t kEditorKey[] = L"SOFTWARE\\Vellumix\\PDFEditor";

bool JobIsEmpty(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
  return QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                   nullptr) &&
         info.ActiveProcesses == 0;
}

// The host and the converter in the test's folder, which is the host's
// current folder too (browsers start hosts in their own folder): the
// settings dialog is found there.
class BrowserLaunchTest : public ::testing::TestWithParam<LaunchMode>, protected TestFolder {
 protected:
  BrowserLaunchTest() {
    CreateDirectoryW(editor_folder.c_str(), nullptr);
    for (const wchar_t* program : {L"VellumixBrowserHost.exe", L"VereZeDid2Uza.x86.exe"})
      CopyFileW((ProgramFolder() + program).c_str(), (root + program).c_str(), FALSE);
    CopyFileW((ProgramFolder() + L"VLXEditor.exe").c_str(), editor.c_str(), FALSE);
    SetEnvironmentVariableW(L"VLX_EDITOR_LOG", log.c_str());
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
  std::vector<std::string> EditorRecords() const { return SplitFrames(Contents(log)); }

  const std::wstring editor_folder = root + L"Edit Dir\\",
                     editor = editor_folder + L"VLXEditor.exe";
  const std::wstring log = root + L"editor.log";
  const std::wstring hold_name = L"Local\\vlx-hold-" + std::to_wstring(GetCurrentProcessId());
  HANDLE hold = CreateEventW(nullptr, TRUE, FALSE, hold_name.c_str()), job = nullptr;
  HWND browser = nullptr;
};

}  // namespace

TEST_P(BrowserLaunchTest, ServesEveryRequestAndWhatItStartsOutlivesTheHost) {
  const LaunchMode& mode = GetParam();
  ASSERT_TRUE(browser && hold);
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kEditorKey, L"InstallPath", REG_SZ,
                            editor_folder.c_str(), DWORD(editor_folder.size() + 1) * 2),
            ERROR_SUCCESS);
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
  const std::string requests =
      Frame(R"({"action":"actGetVersion"})") +
      Frame(R"({"action":"openPDF","data":"data:application/pdf;base64,","dataRest":1})") +
      Frame(R"({"action":"openPDF","data":"JVBERi0xLjQK","dataRest":0})") +
      Frame(R"({"action":"HTMLoPDF","title":"page","htmlText":"<p>text</p>"})") +
      Frame(R"({"action":"preferences"})") +
      Frame(R"({"action":"openByURL","URL":"https://example.test/a.pdf"})");
  const std::wstring host_exe = root + L"VellumixBrowserHost.exe";
  ASSERT_TRUE(mode.launch == Launch::kShell ? host.StartThroughShell(host_exe, arguments, requests)
                                            : host.Start(host_exe, requests, nullptr, arguments));
  ASSERT_TRUE(PumpUntil([&] { return host.Finish(0); }, 60000));
  if (job && breaks_away) {
    ASSERT_TRUE(TerminateJobObject(job, 1));
    ASSERT_TRUE(PumpUntil([&] { return JobIsEmpty(job); }));
  }
  EXPECT_EQ(SplitFrames(host.output()),
            (std::vector<std::string>{Reply("0", "11.1.1.0"), kChunkRequest, Reply("0"),
                                      Progress("0"), Progress("40"), Progress("80"),
                                      Progress("100"), Reply("0"), Reply("0"), Reply("0")}));

  HWND settings = nullptr;
  EXPECT_TRUE(PumpUntil([&] {
    return (settings = SettingsWindowOf(root + L"VereZeDid2Uza.x86.exe")) != nullptr;
  })) << "no settings dialog";
  EXPECT_EQ(GetWindow(settings, GW_OWNER), browser);
  // Each editor records its start, and once it is let go, the same again.
  ASSERT_TRUE(PumpUntil([&] { return EditorRecords().size() >= 2; })) << "no editor";
  const std::wstring start = editor + (breaks_away ? L"\nfree\n" : L"\njob\n");
  for (const std::string& record : EditorRecords())
    EXPECT_EQ(record.substr(0, start.size()), Narrow(U(start), start.size()));
  if (breaks_away) {
    SetEvent(hold);
    EXPECT_TRUE(PumpUntil([&] { return EditorRecords().size() == 4; })) << "editor ended";
    PostMessageW(settings, WM_CLOSE, 0, 0);
  } else {
    TerminateJobObject(job, 1);
  }
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(settings); }));
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserLaunchTest, ::testing::ValuesIn(kModes),
                         [](const auto& mode) { return std::string(mode.param.name); });
