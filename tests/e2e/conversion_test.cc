// Conversions through the real host program, with the reference converter
// or a scripted double in its place, started with Windows pipes as a browser
// starts the host. Each test gets a folder of its own holding the host and
// its converter, and its own temporary folder (TMP), which the host writes
// the page to and the reference converter saves the PDF in.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/host_process.h"
#include "tests/unit/scripted_channel.h"

namespace {

std::string Progress(const std::string& value) {
  return "{\n    \"action\": \"HTML2PDFProgress\",\n    \"version\": 1,\n    \"value\": " + value +
         "\n}";
}
std::string Error(const std::string& json_text) {
  return "{\n    \"action\": \"HTML2PDFError\",\n    \"version\": 1,\n    \"value\": " +
         json_text + "\n}";
}
std::string Reply(const std::string& state, const std::string& answer = "") {
  return "{\n    \"action\": \"responceDone\",\n    \"version\": 3,\n    \"state\": " + state +
         ",\n    \"answer\": \"" + answer + "\"\n}";
}
const char kChunkRequest[] = "{ \"action\": \"sendNextData\", \"version\": 1 }";
const char kVersion[] = R"({"action":"actGetVersion"})";
const char kCancel[] = R"({"action":"cancel"})";

// Starts program with the command line; its process handle (null for a Linux
// program), INVALID_HANDLE_VALUE when it did not start.
HANDLE Launch(const std::wstring& program, std::wstring line) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return INVALID_HANDLE_VALUE;
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Answers the messages waiting for this thread's windows.
void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// Wine runs Linux programs too: the PDF is read back with poppler's pdftotext,
// from a copy in /tmp (drive Z: is the root of the Linux file system).
std::string PdfText(const std::wstring& pdf) {
  std::wstring stem = L"/tmp/vlx-check-" + std::to_wstring(GetCurrentProcessId());
  std::wstring copy = L"Z:" + stem + L".pdf", text_file = L"Z:" + stem + L".txt";
  DeleteFileW(text_file.c_str());
  if (!CopyFileW(pdf.c_str(), copy.c_str(), FALSE)) return "<no PDF>";
  // Wine does not wait for a Linux program's end: wait for its output to
  // settle instead.
  HANDLE process = Launch(L"Z:\\usr\\bin\\pdftotext",
                          L"pdftotext -enc UTF-8 " + stem + L".pdf " + stem + L".txt");
  if (process == INVALID_HANDLE_VALUE) return "<pdftotext did not start>";
  if (process) CloseHandle(process);
  std::string text, last = "<no text>";
  for (int i = 0; i < 200; ++i) {
    Sleep(50);
    text = ReadWholeFile(text_file);
    if (!text.empty() && text == last) break;
    last = text;
  }
  DeleteFileW(copy.c_str());
  DeleteFileW(text_file.c_str());
  return text;
}

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::wstring(temp, n) + L"vlx conv " + std::to_wstring(GetCurrentProcessId()) +
              L" " + Utf8ToWide(info->name()) + L"\\";
    RemoveTree(folder_);
    temp_ = folder_ + L"tmp\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(temp_.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"VellumixBrowserHost.exe").c_str(),
                          (folder_ + L"VellumixBrowserHost.exe").c_str(), FALSE));
    for (const wchar_t* name : {L"TMP", L"TEMP", L"VLX_DOUBLE_SCRIPT", L"VLX_DOUBLE_ERROR",
                                L"VLX_DOUBLE_RECORD", L"VLX_CONVERTER_STEP_MS"}) {
      wchar_t value[1024];
      DWORD length = GetEnvironmentVariableW(name, value, 1024);
      saved_.push_back({name, length ? std::wstring(value, length) : L"", length != 0});
    }
    SetEnvironmentVariableW(L"TMP", temp_.c_str());
    SetEnvironmentVariableW(L"TEMP", temp_.c_str());
    SetEnvironmentVariableW(L"VLX_DOUBLE_RECORD", (folder_ + L"record.txt").c_str());
  }
  void TearDown() override {
    for (const Saved& saved : saved_)
      SetEnvironmentVariableW(saved.name.c_str(), saved.present ? saved.value.c_str() : nullptr);
    RemoveTree(folder_);
  }

  void UseConverter(const wchar_t* program) {
    ASSERT_TRUE(CopyFileW((ProgramFolder() + program).c_str(),
                          (folder_ + L"VereZeDid2Uza.x86.exe").c_str(), FALSE));
  }
  void UseDouble(const wchar_t* script) {
    UseConverter(L"converter_double.exe");
    SetEnvironmentVariableW(L"VLX_DOUBLE_SCRIPT", script);
  }
  std::wstring Host() const { return folder_ + L"VellumixBrowserHost.exe"; }

  // Writes the requests, lets the host serve them and returns its messages.
  std::vector<std::string> Serve(const std::string& requests) {
    HostProcess host;
    EXPECT_TRUE(host.Start(Host(), requests));
    EXPECT_TRUE(host.Finish(60000));
    EXPECT_EQ(host.exit_code(), 0u);
    return SplitFrames(host.output());
  }
  std::vector<std::wstring> Leftovers() const { return FilesLike(temp_ + L"vlx_*"); }
  std::wstring Pdf(const std::wstring& name) const {
    return temp_ + L"Vellumix Converter\\" + name;
  }
  // The converter's command line, as the recording double saw it.
  std::string Recorded() const { return ReadWholeFile(folder_ + L"record.txt"); }
  // The shell starts the converter for the settings; the host does not wait
  // for it.
  void ExpectSettingsLineEndsWith(const std::string& expected) const {
    for (int i = 0; i < 500 && Recorded().empty(); ++i) Sleep(20);
    std::string line = Recorded();
    EXPECT_TRUE(line.size() >= expected.size() &&
                line.compare(line.size() - expected.size(), expected.size(), expected) == 0)
        << line;
  }

  struct Saved {
    std::wstring name, value;
    bool present;
  };
  std::wstring folder_, temp_;
  std::vector<Saved> saved_;
};

}  // namespace

// --- the reference converter

TEST_F(ConversionTest, HtmlPageBecomesAPdfOfItsText) {
  UseConverter(L"VereZeDid2Uza.x86.exe");
  std::vector<std::string> frames = Serve(Frame(
      R"({"action":"HTMLoPDF","title":"Quarterly Report.html","htmlText":)"
      R"("<html><head><style>p{}</style></head><body><h1>Hello PDF</h1>)"
      R"(<p>Caf\u00e9 &amp; cr\u00e8me<br>second line</p></body></html>"})"));
  EXPECT_EQ(frames, (std::vector<std::string>{Progress("0"), Progress("40"), Progress("80"),
                                              Progress("100"), Reply("0")}));
  EXPECT_TRUE(Leftovers().empty());  // the converter deleted its source
  std::string text = PdfText(Pdf(L"Quarterly Report.pdf"));
  EXPECT_NE(text.find("Hello PDF"), std::string::npos) << text;
  EXPECT_NE(text.find("Caf\xc3\xa9 & cr\xc3\xa8me"), std::string::npos) << text;
  EXPECT_NE(text.find("second line"), std::string::npos) << text;
  EXPECT_EQ(text.find("p{}"), std::string::npos) << text;
}

TEST_F(ConversionTest, MhtmlInChunksIsJoinedAndConverted) {
  UseConverter(L"VereZeDid2Uza.x86.exe");
  std::string requests =
      Frame(R"({"action":"MHTMLoPDF","version":2,"title":"Archive","dataRest":1,)"
            R"("data":"MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"B1\"\r\n\r\n--B1\r\nContent-Type: text/ht"})") +
      Frame(R"({"action":"MHTMLoPDF","dataRest":0,)"
            R"("data":"ml\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n<p>Chunked =\r\npage =C3=BCber</p>\r\n--B1--\r\n"})");
  std::vector<std::string> frames = Serve(requests);
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_EQ(frames[0], kChunkRequest);
  EXPECT_EQ(frames[5], Reply("0"));
  EXPECT_TRUE(Leftovers().empty());
  std::string text = PdfText(Pdf(L"Archive.pdf"));
  EXPECT_NE(text.find("Chunked page \xc3\xbc" "ber"), std::string::npos) << text;
}

TEST_F(ConversionTest, DeviceTitlesGiveSafelyNamedPdfs) {
  UseConverter(L"VereZeDid2Uza.x86.exe");
  // One host each: the cancel watcher reads what follows a conversion.
  for (const char* title : {"NUL", "COM1", "aux", "NUL.html"}) {
    std::vector<std::string> frames =
        Serve(Frame(std::string(R"({"action":"HTMLoPDF","htmlText":"<p>page )") + title +
                    R"(</p>","title":")" + title + R"("})"));
    ASSERT_EQ(frames.size(), 5u) << title;
    EXPECT_EQ(frames[3], Progress("100")) << title;
    EXPECT_EQ(frames[4], Reply("0")) << title;
  }
  std::vector<std::wstring> pdfs = FilesLike(Pdf(L"*.pdf"));
  std::sort(pdfs.begin(), pdfs.end());
  EXPECT_EQ(pdfs, (std::vector<std::wstring>{L"COM1_.pdf", L"NUL_.pdf", L"aux_.pdf"}));
  EXPECT_NE(PdfText(Pdf(L"COM1_.pdf")).find("page COM1"), std::string::npos);
  EXPECT_NE(PdfText(Pdf(L"NUL_.pdf")).find("page NUL.html"), std::string::npos);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ConversionTest, MhtmlVersionsOneAndThree) {
  UseConverter(L"VereZeDid2Uza.x86.exe");
  // Without a version: version 1, the whole archive in "mhtmlText"; without
  // a title the converter names the file itself.
  std::vector<std::string> frames = Serve(
      Frame(R"({"action":"MHTMLoPDF","mhtmlText":"<p>plain page</p>"})"));
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[4], Reply("0"));
  EXPECT_NE(PdfText(Pdf(L"Untitled.pdf")).find("plain page"), std::string::npos);

  frames = Serve(Frame(R"({"action":"MHTMLoPDF","version":3,"mhtmlText":"<p>x</p>"})") +
                 Frame(kVersion));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], Reply("0"));
  EXPECT_EQ(frames[1], Reply("0", "11.1.1.0"));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ConversionTest, CancelStopsTheConverterAndLaterRequestsAreServed) {
  UseConverter(L"VereZeDid2Uza.x86.exe");
  SetEnvironmentVariableW(L"VLX_CONVERTER_STEP_MS", L"1500");
  HostProcess host;
  ASSERT_TRUE(host.Start(Host(), Frame(R"({"action":"HTMLoPDF","htmlText":"<p>x</p>","title":"Stopped"})")));
  // The converter names its event before its first progress report.
  ASSERT_TRUE(host.WaitForFrames(1));
  // The first request is kept by the watcher, the "cancel" sets the event,
  // what follows is the main loop's; both are answered after the conversion.
  host.Write(Frame(kVersion) + Frame(kCancel) + Frame(kVersion));
  ASSERT_TRUE(host.Finish(60000));
  std::vector<std::string> frames = SplitFrames(host.output());
  ASSERT_GE(frames.size(), 4u);
  EXPECT_EQ(frames[0], Progress("0"));
  EXPECT_EQ(std::vector<std::string>(frames.end() - 3, frames.end()),
            (std::vector<std::string>{Reply("3"), Reply("0", "11.1.1.0"), Reply("0", "11.1.1.0")}));
  EXPECT_TRUE(FilesLike(Pdf(L"Stopped.pdf")).empty());
  EXPECT_TRUE(Leftovers().empty());
}

// --- doubles

// One host each: the double's script, the requests, the host's messages.
// Requests written during a conversion are read by the watcher and answered
// after it, in order; a "cancel" sent before the event is named waits for the
// watcher; a second name starts no second reader; without a named event the
// main loop answers the "cancel".
TEST_F(ConversionTest, ScriptedConverterOutcomes) {
  const std::string html = Frame(R"({"action":"HTMLoPDF","htmlText":"x"})");
  const std::string version = Reply("0", "11.1.1.0");
  struct Case {
    const wchar_t* script;  // nullptr: no converter at all
    std::string requests;
    std::vector<std::string> frames;
    bool page_removed;  // by the host: the double leaves its source
  };
  const Case cases[] = {
      {nullptr, html + Frame(R"({"action":"MHTMLoPDF","mhtmlText":"x"})"),
       {Reply("-1"), Reply("-1")}, true},
      {L"final:7", Frame(R"({"action":"MHTMLoPDF","version":1,"mhtmlText":"x"})"),
       {Reply("7")}, false},
      {L"exit:0", html, {Reply("-1")}, false},
      {L"progress:3;exit:9", html + Frame(kVersion), {Progress("3"), Reply("9"), version}, true},
      {L"name:Local\\vlx-e2e-behind;progress:50;sleep:300;final:6",
       html + Frame(kVersion) + Frame(R"({"action":"x"})") + html,
       {Progress("50"), Reply("6"), version, Reply("65280"), Progress("50"), Reply("6")}, false},
      {L"sleep:500;name:Local\\vlx-e2e-early;wait:20000;final:set",
       html + Frame(kCancel) + Frame(kVersion), {Reply("1"), version}, false},
      {L"name:Local\\vlx-e2e-first;name:Local\\vlx-e2e-second;wait:20000;final:set",
       html + Frame(kCancel) + Frame(kVersion), {Reply("1"), version}, false},
      {L"sleep:300;final:4", html + Frame(kCancel), {Reply("4"), Reply("0")}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script ? std::string(c.script, c.script + wcslen(c.script)) : "no converter");
    if (c.script)
      UseDouble(c.script);
    else
      DeleteFileW((folder_ + L"VereZeDid2Uza.x86.exe").c_str());
    for (const std::wstring& name : Leftovers()) DeleteFileW((temp_ + name).c_str());
    EXPECT_EQ(Serve(c.requests), c.frames);
    if (c.page_removed) {
      EXPECT_TRUE(Leftovers().empty());
    }
  }
}

// The conversion ends while the browser is halfway through a "cancel": the
// watcher's cut read loses nothing, and the main loop answers it.
TEST_F(ConversionTest, CancelHalfWrittenWhenTheConversionEndsIsAnsweredAfterIt) {
  UseDouble(L"name:Local\\vlx-e2e-half;sleep:1500;final:4");
  const std::string cancel = Frame(kCancel);
  HostProcess host;
  ASSERT_TRUE(host.Start(Host(), Frame(R"({"action":"HTMLoPDF","htmlText":"x"})") +
                                     cancel.substr(0, 10)));
  ASSERT_TRUE(host.WaitForFrames(1));
  host.Write(cancel.substr(10) + Frame(kVersion));
  ASSERT_TRUE(host.WaitForFrames(3));
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(SplitFrames(host.output()),
            (std::vector<std::string>{Reply("4"), Reply("0"), Reply("0", "11.1.1.0")}));
}

TEST_F(ConversionTest, ReportsAreRelayedExactly) {
  UseDouble(L"progress:37;progress:4294967295;error;unterminated;block3;final:5");
  SetEnvironmentVariableW(L"VLX_DOUBLE_ERROR", L"say \"no\"\nnow \u00fcber \u20ac");
  std::vector<std::string> frames = Serve(Frame(R"({"action":"HTMLoPDF","htmlText":""})"));
  // Posted and sent messages are not ordered against each other.
  std::vector<std::string> expected = {
      Progress("37"), Progress("-1"),
      Error("\"say \\\"no\\\"\\nnow \xc3\xbc" "ber \xe2\x82\xac\""),
      Error("\"cut here\"")};
  ASSERT_EQ(frames.size(), 5u);
  for (const std::string& message : expected)
    EXPECT_EQ(std::count(frames.begin(), frames.end() - 1, message), 1) << message;
  EXPECT_EQ(frames[4], Reply("5"));
  EXPECT_LT(std::find(frames.begin(), frames.end(), Progress("37")),
            std::find(frames.begin(), frames.end(), Progress("-1")));
}

TEST_F(ConversionTest, CommandLineCarriesTheSafeTitle) {
  UseDouble(L"record;final:0");
  Serve(Frame(R"({"action":"HTMLoPDF","htmlText":"","title":"D:\\docs\\a:b?.html"})") +
        Frame(R"({"action":"MHTMLoPDF","mhtmlText":"x","title":"R\u00e9sum\u00e9 \u6587"})"));
  std::string recorded = Recorded();
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = recorded.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(recorded.substr(at, end - at));
  ASSERT_EQ(lines.size(), 2u);
  std::string converter = "VereZeDid2Uza.x86.exe url= \"";
  for (const std::string& line : lines) {
    size_t url = line.find(converter);
    ASSERT_NE(url, std::string::npos) << line;
    // The program's path stands unquoted in front: the test folder has blanks.
    EXPECT_NE(line.substr(0, url).find(' '), std::string::npos) << line;
    EXPECT_NE(line.find("\\vlx_", url), std::string::npos) << line;
    EXPECT_NE(line.find(" wndMsgs= "), std::string::npos) << line;
  }
  EXPECT_NE(lines[0].find(".html\" mode= Chrome delsrc savefn= \"b .html\" wndMsgs= "),
            std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(".mhtml\" mode= Chrome delsrc savefn= "
                          "\"R\xc3\xa9sum\xc3\xa9 \xe6\x96\x87\""),
            std::string::npos) << lines[1];
}

// --- preferences

TEST_F(ConversionTest, SettingsLineWithoutAnOwnerWindow) {
  UseDouble(L"record");
  std::vector<std::string> frames = Serve(Frame(R"({"action":"preferences"})"));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], Reply("0"));
  ExpectSettingsLineEndsWith(" sdlg mode= Chrome\n");
}

TEST_F(ConversionTest, SettingsLineNamesTheBrowsersWindow) {
  UseDouble(L"record");
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"relay.exe").c_str(), (folder_ + L"relay.exe").c_str(),
                        FALSE));
  // This test is the host's grandparent, as the browser is.
  HWND hidden = CreateWindowExW(0, L"STATIC", L"hidden", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  HWND window = CreateWindowExW(0, L"STATIC", L"browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  HostProcess host;
  ASSERT_TRUE(host.Start(folder_ + L"relay.exe", Frame(R"({"action":"preferences"})")));
  // This thread owns the windows: it keeps answering while the host runs.
  bool finished = false;
  for (int i = 0; i < 1000 && !finished; ++i) {
    PumpMessages();
    finished = host.Finish(20);
  }
  ASSERT_TRUE(finished);
  ExpectSettingsLineEndsWith(" sdlg mode= Chrome wndPrnt= " +
                             std::to_string(int32_t(uint32_t(uintptr_t(window)))) + "\n");
  DestroyWindow(window);
  DestroyWindow(hidden);
}

// --- the reference converter on its own

TEST_F(ConversionTest, ReferenceConverterWithoutAWindowExitsWithItsResult) {
  std::wstring converter = ProgramFolder() + L"VereZeDid2Uza.x86.exe";
  auto run = [&](const std::wstring& arguments) {
    HANDLE process = Launch(converter, converter + L" " + arguments);
    if (process == INVALID_HANDLE_VALUE) return DWORD(1000);
    WaitForSingleObject(process, 20000);
    DWORD code = 1001;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
  };
  std::wstring source = temp_ + L"page.html";
  HANDLE file = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  WriteFile(file, "<b>kept</b>", 11, &put, nullptr);
  CloseHandle(file);
  EXPECT_EQ(run(L"url= \"" + temp_ + L"missing.html\" mode= Chrome delsrc savefn= \"x\""), 2u);
  EXPECT_EQ(run(L"url= \"" + source + L"\" mode= Chrome savefn= \"Kept\""), 0u);
  EXPECT_FALSE(FilesLike(source).empty());  // no delsrc: the page stays
  std::string text = PdfText(Pdf(L"Kept.pdf"));
  EXPECT_NE(text.find("kept"), std::string::npos) << text;
  EXPECT_EQ(run(L"mode= Chrome"), 1u);
  // A save name that opens a device is refused, not written to the device.
  EXPECT_EQ(run(L"url= \"" + source + L"\" mode= Chrome savefn= \"com\u00b9 .htm\""), 4u);
}

TEST_F(ConversionTest, ReferenceSettingsWindowIsOwnedByTheGivenWindow) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                               100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(owner);
  std::wstring converter = ProgramFolder() + L"VereZeDid2Uza.x86.exe";
  HANDLE process = Launch(converter, converter + L" sdlg mode= Chrome wndPrnt= " +
                                         std::to_wstring(int32_t(uint32_t(uintptr_t(owner)))));
  ASSERT_NE(process, INVALID_HANDLE_VALUE);
  HWND settings = nullptr;
  for (int i = 0; i < 500 && !settings; ++i) {
    PumpMessages();
    settings = FindWindowW(L"VereZeDid2Uza.Settings", L"Vellumix converter settings");
    if (!settings) Sleep(20);
  }
  ASSERT_TRUE(settings);
  EXPECT_EQ(GetWindow(settings, GW_OWNER), owner);
  PostMessageW(settings, WM_CLOSE, 0, 0);
  for (int i = 0; i < 500 && WaitForSingleObject(process, 20) == WAIT_TIMEOUT; ++i) PumpMessages();
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(process);
  DestroyWindow(owner);
}
