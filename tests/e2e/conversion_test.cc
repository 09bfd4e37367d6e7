// Conversions through the real host program, with the reference converter
// or a scripted double in its place, started with Windows pipes as a browser
// starts the host. Each test gets a folder of its own holding the host and
// its converter, and its own temporary folder (TMP), which the host writes
// the page to and the reference converter saves the PDF in.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/host_process.h"
#include "tests/unit/scripted_channel.h"

namespace {

const std::string kHtml = Frame(R"({"action":"HTMLoPDF","htmlText":"x"})");
const std::string kVersion = Frame(R"({"action":"actGetVersion"})");
const std::string kCancel = Frame(R"({"action":"cancel"})");

class ConversionTest : public ::testing::Test, protected TestFolder {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        CopyFileW((ProgramFolder() + L"VellumixBrowserHost.exe").c_str(), Host().c_str(), FALSE));
    SetEnvironmentVariableW(L"VLX_DOUBLE_RECORD", (root + L"record.txt").c_str());
  }

  void UseConverter(const wchar_t* program) {
    ASSERT_TRUE(CopyFileW((ProgramFolder() + program).c_str(),
                          (root + L"VereZeDid2Uza.x86.exe").c_str(), FALSE));
  }
  void UseDouble(const wchar_t* script) {
    UseConverter(L"converter_double.exe");
    SetEnvironmentVariableW(L"VLX_DOUBLE_SCRIPT", script);
  }
  std::wstring Host() const { return root + L"VellumixBrowserHost.exe"; }

  // Writes the requests, lets the host serve them and returns its messages.
  std::vector<std::string> Serve(const std::string& requests) {
    HostProcess host;
    EXPECT_TRUE(host.Start(Host(), requests));
    EXPECT_TRUE(host.Finish(60000));
    EXPECT_EQ(host.exit_code(), 0u);
    EXPECT_EQ(host.errors(), "");
    return SplitFrames(host.output());
  }
  std::vector<std::wstring> Leftovers() const { return FilesLike(temp + L"vlx_*"); }

  // Starts the host on first and writes the rest while it runs (the pipe
  // holds 4 MiB); returns its messages and its peak commit in MiB.
  std::vector<std::string> ServeWhileWriting(const std::string& first, const std::string& rest,
                                             double* peak_mib) {
    HostProcess host;
    EXPECT_TRUE(host.Start(Host(), first));
    std::thread writer([&] {
      // In slices: Wine passes a single huge write through the pipe slowly.
      for (size_t at = 0; at < rest.size(); at += 1 << 20) host.Write(rest.substr(at, 1 << 20));
      host.CloseInput();
    });
    EXPECT_TRUE(host.Finish(100000));
    writer.join();
    *peak_mib = double(host.PeakCommit()) / (1 << 20);
    std::printf("peak commit %.1f MiB, peak working set %.1f MiB\n", *peak_mib,
                double(host.PeakWorkingSet()) / (1 << 20));
    return SplitFrames(host.output());
  }
};

std::string Padded(const std::string& head, size_t size, const std::string& tail) {
  return Frame(head + std::string(size, 'x') + tail);
}

}  // namespace

// One host each: the page reaches the reference converter whole, which
// deletes it and saves its text (in WinAnsi, a string a line) as the page of
// a PDF named after the title made safe.
TEST_F(ConversionTest, ReferenceConverterTurnsPagesIntoPdfs) {
  UseConverter(L"VereZeDid2Uza.x86.exe");
  struct Case {
    std::string requests;
    const wchar_t* pdf;
    const char* lines;
  };
  const Case cases[] = {
      // Version 1, the whole archive in "mhtmlText"; no title: the converter
      // names the file.
      {Frame(R"({"action":"MHTMLoPDF","mhtmlText":"<p>plain page</p>"})"), L"Untitled.pdf",
       "(plain page) Tj T*\n"},
      {Frame(R"({"action":"HTMLoPDF","htmlText":"<p>d\u00e9vice</p>","title":"NUL.html"})"),
       L"NUL_.pdf", "(d\xe9vice) Tj T*\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pdf);
    std::vector<std::string> expected;
    for (const char* value : {"0", "40", "80", "100"}) expected.push_back(Progress(value));
    expected.push_back(Reply("0"));
    EXPECT_EQ(Serve(c.requests), expected);
    EXPECT_TRUE(Leftovers().empty());
    std::string pdf = Contents(temp + L"Vellumix Converter\\" + c.pdf);
    EXPECT_NE(pdf.find(std::string("Td\n") + c.lines + "ET"), std::string::npos) << pdf;
  }
}

// One host each: the double's script, the requests, the host's messages,
// the pages left (the double leaves its page; the host removes it when the
// converter did not run or ended without its result). Requests written
// during a conversion are read by the watcher and answered after it, in
// order; a "cancel" sent before the event is named waits for the watcher; a
// second name starts no second reader, a second "cancel" is answered after
// the conversion; without a named event the main loop answers the "cancel".
// A page that cannot be stored starts no converter.
TEST_F(ConversionTest, ScriptedConverterOutcomes) {
  const std::string mhtml = Frame(R"({"action":"MHTMLoPDF","mhtmlText":"x"})");
  const std::string version = Reply("0", "11.1.1.0"), cancel = kHtml + kCancel + kVersion;
  const std::vector<std::string> first_set = {Reply("1"), version};
  struct Case {
    const wchar_t* script;  // nullptr: no converter at all
    std::string requests;
    std::vector<std::string> frames;
    size_t pages_left;
    bool unstorable = false;  // TMP names a missing folder
  };
  const Case cases[] = {
      {nullptr, kHtml + mhtml, {Reply("-1"), Reply("-1")}, 0},
      {L"final:7", mhtml, {Reply("7")}, 1},
      {L"exit:0", kHtml, {Reply("-1")}, 0},
      {L"progress:3;exit:9", kHtml + kVersion, {Progress("3"), Reply("9"), version}, 0},
      {L"name:Local\\e2e0;progress:50;sleep:300;final:6",
       kHtml + kVersion + Frame(R"({"action":"x"})") + kHtml,
       {Progress("50"), Reply("6"), version, Reply("65280"), Progress("50"), Reply("6")},
       2},
      {L"sleep:500;name:Local\\e2e1;wait:9000;final:set", cancel, first_set, 1},
      {L"name:Local\\e2e2;name:Local\\e2e3;wait:9000;final:set", cancel, first_set, 1},
      {L"name:Local\\e2e4;wait:9000;final:set",
       kHtml + kCancel + kCancel + kVersion,
       {Reply("1"), Reply("0"), version},
       1},
      {L"sleep:300;final:4", kHtml + kCancel, {Reply("4"), Reply("0")}, 1},
      {L"final:7", kHtml, {Reply("0")}, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script ? c.script : L"no converter");
    if (c.script)
      UseDouble(c.script);
    else
      DeleteFileW((root + L"VereZeDid2Uza.x86.exe").c_str());
    for (const std::wstring& name : Leftovers()) DeleteFileW((temp + name).c_str());
    SetEnvironmentVariableW(L"TMP", (c.unstorable ? root + L"missing\\" : temp).c_str());
    EXPECT_EQ(Serve(c.requests), c.frames);
    EXPECT_EQ(Leftovers().size(), c.pages_left);
  }
}

// Progress as signed numbers, error texts escaped UTF-8 cut at their block's
// end, other blocks dropped; posted progress and sent texts come in any order.
TEST_F(ConversionTest, ReportsAreRelayedExactly) {
  UseDouble(
      L"progress:37;progress:4294967295;error:say \"no\"\nnow \u00fc \u20ac;unterminated;"
      L"block3;final:5");
  std::vector<std::string> frames = Serve(kHtml);
  const std::string errors[] = {"\"say \\\"no\\\"\\nnow \xc3\xbc \xe2\x82\xac\"", "\"cut here\""};
  ASSERT_EQ(frames.size(), 5u);
  for (const std::string& message :
       {Progress("37"), Progress("-1"), Report("HTML2PDFError", errors[0]),
        Report("HTML2PDFError", errors[1])})
    EXPECT_EQ(std::count(frames.begin(), frames.end() - 1, message), 1) << message;
  EXPECT_EQ(frames[4], Reply("5"));
  EXPECT_LT(std::find(frames.begin(), frames.end(), Progress("37")),
            std::find(frames.begin(), frames.end(), Progress("-1")));
}

// The converter's command line as the recording double saw it: its path
// unquoted in front (the folder holds a blank), the page the host wrote (the
// double leaves it), the title made safe, the host's window.
TEST_F(ConversionTest, ConverterGetsThePageAndTheSafeTitle) {
  UseDouble(L"record;final:0");
  Serve(Frame(R"({"action":"HTMLoPDF","htmlText":"<p>\u00e9</p>","title":"D:\\docs\\a:b?.html"})") +
        Frame(R"({"action":"MHTMLoPDF","version":2,"data":"one-","dataRest":1,)"
              R"("title":"R\u00e9sum\u00e9 \u6587"})") +
        Frame(R"({"action":"MHTMLoPDF","data":"two","dataRest":0})"));
  std::string bytes = Contents(root + L"record.txt");
  std::wstring recorded(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  recorded = std::regex_replace(recorded, std::wregex(L"vlx_[0-9a-f]{32}|-?[0-9]+(?=\n)"), L"#");
  const std::wstring start = root + L"VereZeDid2Uza.x86.exe url= \"" + temp + L"#.";
  EXPECT_EQ(recorded,
            start + L"html\" mode= Chrome delsrc savefn= \"b .html\" wndMsgs= #\n" + start +
                L"mhtml\" mode= Chrome delsrc savefn= \"R\u00e9sum\u00e9 \u6587\" wndMsgs= #\n");
  std::vector<std::wstring> pages = Leftovers();
  ASSERT_EQ(pages.size(), 2u);
  for (const std::wstring& page : pages) {
    bool mhtml = page.find(L".mhtml") != std::wstring::npos;
    EXPECT_EQ(Contents(temp + page), mhtml ? "one-two" : "<p>\xc3\xa9</p>");
  }
}

// Started on its own, without a window to report to, the reference converter
// tells its result by its exit code; without "delsrc" it leaves the page.
TEST_F(ConversionTest, ReferenceConverterExitCodes) {
  const std::wstring converter = ProgramFolder() + L"VereZeDid2Uza.x86.exe";
  const std::wstring page = temp + L"page.html";
  ASSERT_TRUE(WriteWholeFile(page, "<b>kept</b>"));
  const std::pair<std::wstring, DWORD> cases[] = {
      {L"url= \"" + temp + L"missing.html\" mode= Chrome delsrc savefn= \"x\"", 2},
      // COM¹ is a device to Windows: refused, not written to it.
      {L"url= \"" + page + L"\" mode= Chrome savefn= \"com\u00b9 .htm\"", 4},
      {L"url= \"" + page + L"\" mode= Chrome savefn= \"Kept\"", 0},
  };
  for (const auto& [arguments, code] : cases) {
    HostProcess process;
    ASSERT_TRUE(process.Start(converter, "", nullptr, arguments));
    ASSERT_TRUE(process.Finish());
    EXPECT_EQ(process.exit_code(), code) << arguments;
  }
  EXPECT_EQ(Contents(page), "<b>kept</b>");
}

// Hostile sizes. Six 32 MiB requests behind a conversion that waits for its
// cancel: the watcher reads them all, keeps what fits its 64 MiB budget and
// drops the rest, each answered in its turn.
TEST_F(ConversionTest, KeptFramesStayWithinTheirBudget) {
  UseDouble(L"name:Local\\e2e9;wait:60000;final:set");
  std::string rest;
  for (int i = 0; i < 6; ++i) rest += Padded(R"({"action":"actGetVersion","x":")", 32 << 20, "\"}");
  std::vector<std::string> expected = {Reply("1"), kVersionReply};
  expected.resize(7, kUnknownReply);
  double peak = 0;
  EXPECT_EQ(ServeWhileWriting(kHtml, rest + kCancel, &peak), expected);
  EXPECT_GT(peak, 0);
  EXPECT_LE(peak, 64 + 16);  // the budget, and what Wine takes
}

// A 16 MiB body of '[' is answered 65280 for little more than the body, and
// the next request is read in step.
TEST_F(ConversionTest, DeepNestingCostsLittleMoreThanTheBody) {
  double peak = 0;
  EXPECT_EQ(ServeWhileWriting("", Frame(std::string(16 << 20, '[')) + kVersion, &peak),
            (std::vector<std::string>{kUnknownReply, kVersionReply}));
  EXPECT_GT(peak, 0);
  EXPECT_LE(peak, 3 * 16);
}

// A 64 MiB page in eight pieces goes to its file as it arrives.
TEST_F(ConversionTest, ChunkedPageIsNeverHeldWhole) {
  UseDouble(L"final:0");
  constexpr size_t kPiece = 8 << 20;
  std::string pieces =
      Padded(R"({"action":"MHTMLoPDF","version":2,"dataRest":1,"data":")", kPiece, "\"}");
  for (int i = 1; i < 8; ++i)
    pieces +=
        Padded(R"({"action":"MHTMLoPDF","data":")", kPiece, i < 7 ? R"(","dataRest":1})" : "\"}");
  std::vector<std::string> expected(7, kChunkRequest);
  expected.push_back(Reply("0"));
  double peak = 0;
  EXPECT_EQ(ServeWhileWriting("", pieces, &peak), expected);
  EXPECT_GT(peak, 0);
  EXPECT_LE(peak, 32);
  std::vector<std::wstring> pages = Leftovers();  // the double leaves its page
  ASSERT_EQ(pages.size(), 1u);
  WIN32_FILE_ATTRIBUTE_DATA page = {};
  ASSERT_TRUE(GetFileAttributesExW((temp + pages[0]).c_str(), GetFileExInfoStandard, &page));
  EXPECT_EQ(page.nFileSizeLow, 8 * kPiece);
}
