// The real host finds the stand-in editor (tools/vlx_editor.cc) through HKLM
// and starts it; the editor records each start. One HKLM key and one message
// box at a time: these tests run one after another.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <regex>

#include "tests/e2e/host_process.h"
#include "tests/fuzz/base64_plain.h"
#include "tests/unit/scripted_channel.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Vellumix\\PDFEditor";
const wchar_t kNotFound[] = L"Vellumix Editor is not found";
const std::string kOpenLocal = Frame(R"({"action":"openLocalPDF","localPath":"C:/a.pdf"})");

// Sets the editor's InstallPath to the text; as a REG_DWORD, to its first
// four bytes; REG_NONE leaves no key at all.
bool SetInstallPath(const std::wstring& value, DWORD type = REG_SZ) {
  for (REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)})
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, view, 0);
  if (type == REG_NONE) return true;
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  DWORD size = type == REG_DWORD ? sizeof(DWORD) : DWORD((value.size() + 1) * sizeof(wchar_t));
  LONG status = RegSetValueExW(key, L"InstallPath", 0, type,
                               reinterpret_cast<const BYTE*>(value.c_str()), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// Closes the next "Vellumix" message box, keeping its text in the wstring.
DWORD WINAPI CloseMessageBox(void* text) {
  std::wstring& shown = *static_cast<std::wstring*>(text);
  for (int i = 0; i < 750 && shown.empty(); ++i) {
    Sleep(20);
    HWND box = FindWindowW(L"#32770", L"Vellumix");
    // The box can be found before its text is set: read it once it shows.
    if (!box || !IsWindowVisible(box)) continue;
    // The message is the box's static text; the icon is a static without text.
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t name[32], line[256];
      GetClassNameW(child, name, 32);
      if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextW(child, line, 256) > 0) shown = line;
    }
    if (!shown.empty()) PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  return 0;
}

// Every byte value, four times over.
std::string SampleBytes() {
  std::string bytes;
  for (int i = 0; i < 1024; ++i) bytes += char(i);
  return bytes;
}

std::string OpenPdf(const std::string& members, const std::string& data, int rest = 0) {
  return Frame(R"({"action":"openPDF",)" + members + R"("data":")" + data + R"(","dataRest":)" +
               std::to_string(rest) + "}");
}

// The editor is installed in <root>\Edit Dir\; a planted <root>\Edit.exe
// would run if the program were guessed from the unquoted path.
class EditorLaunchTest : public ::testing::Test, protected TestFolder {
 protected:
  EditorLaunchTest() {
    CreateDirectoryW(install.c_str(), nullptr);
    const std::wstring stand_in = ProgramFolder() + L"VLXEditor.exe";
    CopyFileW(stand_in.c_str(), Editor().c_str(), FALSE);
    CopyFileW(stand_in.c_str(), (root + L"Edit.exe").c_str(), FALSE);
    // Inherited by the host and through it by the editor.
    SetEnvironmentVariableW(L"VLX_EDITOR_LOG", log.c_str());
    SetInstallPath(L"", REG_NONE);
  }
  ~EditorLaunchTest() override {
    SetInstallPath(L"", REG_NONE);
    SetEnvironmentVariableW(L"VLX_EDITOR_READERS", nullptr);
  }

  void Install() { ASSERT_TRUE(SetInstallPath(install)); }
  std::wstring Editor() const { return install + L"VLXEditor.exe"; }

  // Runs the host over the frames and returns its messages once every
  // editor it started has ended (and so recorded its start); with message,
  // closes the message box it shows and keeps the text (empty: none).
  std::vector<std::string> Run(const std::string& frames, std::wstring* message = nullptr,
                               const std::wstring& program = ProgramFolder() +
                                                             L"VellumixBrowserHost.exe") {
    HANDLE closer =
        message ? CreateThread(nullptr, 0, CloseMessageBox, message, 0, nullptr) : nullptr;
    HostProcess host;
    EXPECT_TRUE(host.Start(program, frames));
    EXPECT_TRUE(host.Finish());
    EXPECT_EQ(host.exit_code(), 0u);
    EXPECT_EQ(host.errors(), "");
    EXPECT_TRUE(AwaitChildrenOf(host.id(), L"VLXEditor.exe"));
    if (closer) {
      WaitForSingleObject(closer, INFINITE);
      CloseHandle(closer);
    }
    return SplitFrames(host.output());
  }

  // The starts recorded, each "<program>\n<job or free>\n<command line>".
  std::vector<std::wstring> Starts() {
    std::vector<std::wstring> starts;
    for (const std::string& record : SplitFrames(Contents(log)))
      starts.push_back(Utf8ToWide(record));
    return starts;
  }
  std::vector<std::wstring> TempFiles() const { return FilesLike(temp + L"*"); }

  const std::wstring install = root + L"Edit Dir\\", log = root + L"editor.log";
};

}  // namespace

TEST_F(EditorLaunchTest, OpenPdfInChunksWritesTheDocumentAndStartsTheEditor) {
  Install();
  const std::string pdf = SampleBytes();
  const std::string url = "data:application/pdf;base64," + PlainBase64Encode(pdf);
  const size_t a = 333, b = 1001;
  std::vector<std::string> replies =
      Run(OpenPdf(R"("title":"R\u00e9sum\u00e9 \u6771\u4eac","url":"https://example.org/a b.pdf",)",
                  url.substr(0, a), 2) +
          OpenPdf("", url.substr(a, b - a), 1) + OpenPdf("", url.substr(b), 0));
  EXPECT_EQ(replies, (std::vector<std::string>{kChunkRequest, kChunkRequest, Reply("0")}));

  std::vector<std::wstring> files = TempFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0], std::wregex(L"vlx_[0-9a-f]{32}\\.pdf")));
  std::wstring path = temp + files[0];
  EXPECT_TRUE(Contents(path) == pdf);

  std::vector<std::wstring> starts = Starts();
  ASSERT_EQ(starts.size(), 1u);
  // The install folder holds a blank: the planted <root>\Edit.exe is never run.
  EXPECT_EQ(starts[0], Editor() + L"\nfree\n" + Editor() +
                           L" /A temp=yes;title=\"R\u00e9sum\u00e9 \u6771\u4eac\";"
                           L"url=\"https://example.org/a b.pdf\" \"" +
                           path + L"\"");
}

// Each openPDF with a document gets a file and a start of its own, one that
// decodes to nothing neither. Quotes and final backslashes in the title or
// url cannot add or merge arguments: the editor sees the switch, one token
// for the parts and the path.
TEST_F(EditorLaunchTest, EachDocumentGetsItsFileAndItsArgumentsApart) {
  Install();
  const std::string data = "data:application/pdf;base64,";
  std::vector<std::string> replies =
      Run(OpenPdf("", data) + OpenPdf("", "no marker at all") + OpenPdf("", data + "!!!!####") +
          OpenPdf(R"("title":"","url":"",)", data + PlainBase64Encode("one")) +
          OpenPdf(R"("title":"x\" \"C:\\evil.pdf\" /A \"y","url":"https://h/\\\\",)",
                  data + PlainBase64Encode("two")) +
          OpenPdf(R"("title":"ends in \\","url":"\"",)", data + PlainBase64Encode("three")));
  EXPECT_EQ(replies, std::vector<std::string>(6, Reply("0")));
  std::vector<std::wstring> files = TempFiles();
  std::vector<std::wstring> starts = Starts();
  ASSERT_EQ(starts.size(), 3u);
  // The editor's path comes first, unquoted as ever; the arguments follow.
  std::vector<std::wstring> parts, paths;
  const std::wstring program = Editor() + L"\nfree\n" + Editor() + L" ";
  for (const std::wstring& start : starts) {
    ASSERT_EQ(start.substr(0, program.size()), program);
    int count = 0;
    wchar_t** argv =
        CommandLineToArgvW((L"editor " + start.substr(program.size())).c_str(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    LocalFree(argv);
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[1], L"/A");
    parts.push_back(args[2]);
    paths.push_back(args[3]);
  }
  std::sort(parts.begin(), parts.end());
  EXPECT_EQ(parts, (std::vector<std::wstring>{
                       L"temp=yes", L"temp=yes;title=ends in \\;url=\"",
                       L"temp=yes;title=x\" \"C:\\evil.pdf\" /A \"y;url=https://h/\\\\"}));
  for (std::wstring& file : files) file = temp + file;
  std::sort(files.begin(), files.end());
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, files);
}

// A temporary folder on a small full volume (tests/e2e/full_temp_folder.sh
// mounts one and names it in VLX_FULL_TEMP): the cut-short PDF is removed and
// the editor is not started.
TEST_F(EditorLaunchTest, AFullTempFolderKeepsNoPdfAndStartsNothing) {
  wchar_t full[MAX_PATH];
  if (!GetEnvironmentVariableW(L"VLX_FULL_TEMP", full, MAX_PATH)) GTEST_SKIP() << "no full folder";
  Install();
  SetEnvironmentVariableW(L"TMP", full);
  std::string pdf = SampleBytes();
  while (pdf.size() < (200u << 10)) pdf += pdf;
  std::vector<std::string> replies =
      Run(OpenPdf("", "data:application/pdf;base64," + PlainBase64Encode(pdf)));
  EXPECT_EQ(replies, std::vector<std::string>{Reply("0")});
  EXPECT_TRUE(Starts().empty());
  EXPECT_TRUE(FilesLike(std::wstring(full) + L"\\vlx_*").empty());
}

TEST_F(EditorLaunchTest, EditorMissingTakesEveryChunkAndShowsTheMessage) {
  ASSERT_TRUE(SetInstallPath(root));  // no VLXEditor.exe there
  std::string url = "data:application/pdf;base64," + PlainBase64Encode(SampleBytes());
  std::wstring message;
  std::vector<std::string> replies =
      Run(OpenPdf("", url.substr(0, 100), 5) + OpenPdf("", url.substr(100, 100), 3) +
              OpenPdf("", url.substr(200), 0),
          &message);
  EXPECT_EQ(message, kNotFound);
  EXPECT_EQ(replies, (std::vector<std::string>{kChunkRequest, kChunkRequest, Reply("0")}));
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_TRUE(Starts().empty());
}

// Each case: one host run with one openLocalPDF; found: started from the
// folder the value names, not found: the message.
TEST_F(EditorLaunchTest, InstallPathValueForms) {
  struct Case {
    const char* what;
    std::wstring value;
    DWORD type;
    bool found;
  };
  const std::wstring bare = install.substr(0, install.size() - 1);
  // A folder literally named with percent signs: the value is never expanded.
  const std::wstring percent = root + L"%TEMP%\\";
  CreateDirectoryW(percent.c_str(), nullptr);
  CopyFileW(Editor().c_str(), (percent + L"VLXEditor.exe").c_str(), FALSE);
  const Case cases[] = {
      {"final backslash", install, REG_SZ, true},
      {"no final separator", bare, REG_SZ, true},
      {"final slash", bare + L"/", REG_SZ, true},
      {"REG_EXPAND_SZ as written", percent, REG_EXPAND_SZ, true},
      {"empty", L"", REG_SZ, false},
      {"a number", install, REG_DWORD, false},
      {"no key", L"", REG_NONE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(SetInstallPath(c.value, c.type));
    std::wstring message;
    Run(kOpenLocal, c.found ? nullptr : &message);
    std::vector<std::wstring> starts = Starts();
    if (c.found) {
      ASSERT_EQ(starts.size(), 1u);
      const std::wstring exe = (c.value == percent ? percent : install) + L"VLXEditor.exe";
      EXPECT_EQ(starts[0], exe + L"\nfree\n" + exe + L" /A \"file:///C:/a.pdf\"");
      DeleteFileW(log.c_str());
    } else {
      EXPECT_EQ(message, kNotFound);
      EXPECT_TRUE(starts.empty());
    }
  }
}

// Characters that best fit turns into '"', '\', a blank or a tab in some
// system ANSI code page, and 表, whose trail byte in 932 is '\', before a
// backslash and before the closing quote. On every road each ANSI reader of
// the stand-in (tools/vlx_editor.cc) finds the wide reader's arguments.
TEST_F(EditorLaunchTest, AnsiReadersFindTheWideReadersArgumentsOnEveryRoad) {
  Install();
  // The converter's stand-in is the editor's, beside a copy of the host.
  const std::wstring host = root + L"Host\\";
  CreateDirectoryW(host.c_str(), nullptr);
  CopyFileW((ProgramFolder() + L"VellumixBrowserHost.exe").c_str(),
            (host + L"VellumixBrowserHost.exe").c_str(), FALSE);
  CopyFileW(Editor().c_str(), (host + L"VereZeDid2Uza.x86.exe").c_str(), FALSE);
  SetEnvironmentVariableW(L"VLX_EDITOR_READERS", L"1");
  const std::string text =
      R"(x\uff02 /P \uff02\uff3c\u02ba\u00a5\u20a9\u2216\u3000\u25cb \u8868\\ \u8868)";
  const std::string pdf = R"("data":"data:;base64,QQ=="})";
  Run(Frame(R"({"action":"openPDF","title":")" + text + "\"," + pdf) +
          Frame(R"({"action":"openPDF","url":"https://h/)" + text + "\"," + pdf) +
          Frame(R"({"action":"openLocalPDF","localPath":"C:/d/)" + text + R"(.pdf"})") +
          Frame(R"({"action":"openByURL","URL":"https://h/)" + text + R"("})") +
          Frame(R"({"action":"HTMLoPDF","htmlText":"x","title":")" + text + R"("})"),
      nullptr, host + L"VellumixBrowserHost.exe");
  std::vector<std::wstring> starts = Starts();
  ASSERT_EQ(starts.size(), 5u);
  std::vector<std::wstring> roads;
  for (const std::wstring& start : starts) {
    const std::wstring line = start.substr(0, start.rfind(L'\n')),
                       readers = start.substr(start.rfind(L'\n') + 1);
    const wchar_t* road = line.find(L"savefn=") != line.npos    ? L"save name"
                          : line.find(L";title=") != line.npos  ? L"openPDF title"
                          : line.find(L";url=") != line.npos    ? L"openPDF url"
                          : line.find(L"file:///") != line.npos ? L"openLocalPDF"
                                                                : L"openByURL";
    roads.push_back(road);
    std::wprintf(L"%ls: %ls\n", road, readers.c_str());
    // "wide:<n>", then every reader with the same count and no "!".
    const std::wstring count = L":" + readers.substr(5, readers.find(L' ') - 5);
    std::wstring apart;
    for (size_t at = readers.find(L' '); at != readers.npos; at = readers.find(L' ', at + 1)) {
      const std::wstring reader = readers.substr(at + 1, readers.find(L' ', at + 1) - at - 1);
      if (reader.substr(reader.find(L':')) != count) apart += L" " + reader;
    }
    EXPECT_EQ(apart, L"") << road;
  }
  std::sort(roads.begin(), roads.end());
  EXPECT_EQ(roads, (std::vector<std::wstring>{L"openByURL", L"openLocalPDF", L"openPDF title",
                                              L"openPDF url", L"save name"}));
}

// A title too long for the line gives way: the editor's line stays within
// what Windows starts, and the document's path stands at its end.
TEST_F(EditorLaunchTest, ALongTitleGivesWayAndTheDocumentOpens) {
  Install();
  Run(OpenPdf(R"("title":")" + std::string(40000, 't') + R"(","url":"https://h/",)",
              "data:;base64,QQ=="));
  std::vector<std::wstring> starts = Starts(), files = TempFiles();
  ASSERT_EQ(starts.size(), 1u);
  ASSERT_EQ(files.size(), 1u);
  const std::wstring line = starts[0].substr(starts[0].find(L'\n', starts[0].find(L'\n') + 1) + 1);
  std::wprintf(L"editor line: %zu units\n", line.size());
  EXPECT_LE(line.size(), 32766u);
  const std::wstring end = L";url=\"https://h/\" \"" + temp + files[0] + L"\"";
  EXPECT_EQ(line.substr(line.size() - std::min(line.size(), end.size())), end);
}

// The editor's file is there but cannot be started: the document written
// for it is removed.
TEST_F(EditorLaunchTest, AFailedEditorStartLeavesNoFile) {
  Install();
  ASSERT_TRUE(WriteWholeFile(Editor(), "not a program"));
  EXPECT_EQ(Run(OpenPdf("", "data:;base64,QQ==")), std::vector<std::string>{Reply("0")});
  EXPECT_TRUE(TempFiles().empty());
}

// openLocalPDF refuses paths into Windows' device namespaces as it refuses
// any path it cannot open (state 0, nothing started); drive and UNC paths,
// also in their \\?\ forms, reach the editor.
TEST_F(EditorLaunchTest, DevicePathsNeverReachTheEditor) {
  Install();
  const struct {
    std::string path;
    bool opens;
  } cases[] = {
      {R"(\\.\pipe\x)", false},        {R"(\\?\GLOBALROOT\Device\HarddiskVolume1\a.pdf)", false},
      {R"(\\.\C:\a.pdf)", false},      {"//./C:/a.pdf", false},
      {"//?/GLOBALROOT/a.pdf", false}, {R"(\\.\CONIN$)", false},
      {R"(\\?\C:\a.pdf)", true},       {R"(\\?\UNC\srv\share\a.pdf)", true},
      {R"(\\srv\share\a.pdf)", true}};
  std::string frames;
  std::vector<std::wstring> expected;
  for (const auto& c : cases) {
    std::string json;
    for (char ch : c.path) json += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
    frames += Frame(R"({"action":"openLocalPDF","localPath":")" + json + "\"}");
    if (c.opens)
      expected.push_back(Editor() + L"\nfree\n" + Editor() + L" /A \"file:///" +
                         std::wstring(c.path.begin(), c.path.end()) + L"\"");
  }
  EXPECT_EQ(Run(frames), std::vector<std::string>(std::size(cases), Reply("0")));
  std::vector<std::wstring> starts = Starts();
  std::wprintf(L"%zu of %zu paths reached the editor\n", starts.size(), std::size(cases));
  std::sort(starts.begin(), starts.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(starts, expected);
}
