// The real host finds the stand-in editor through HKLM and starts it; the
// editor records each command line it receives.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <regex>

#include "tests/e2e/editor_fixture.h"
#include "tests/unit/scripted_channel.h"

namespace {

const char kChunkRequest[] = "{ \"action\": \"sendNextData\", \"version\": 1 }";
const char kDoneReply[] =
    "{\n    \"action\": \"responceDone\",\n    \"version\": 3,\n    \"state\": 0,\n"
    "    \"answer\": \"\"\n}";

std::string SamplePdf() {
  std::string pdf = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Length 1024 >>\nstream\n";
  for (int round = 0; round < 4; ++round)
    for (int b = 0; b < 256; ++b) pdf += char(b);
  return pdf + "\nendstream\nendobj\ntrailer\n<< >>\n%%EOF\n";
}

std::string OpenPdf(const std::string& members, const std::string& data, int rest = 0) {
  return Frame(R"({"action":"openPDF",)" + members + R"("data":")" + data +
               R"(","dataRest":)" + std::to_string(rest) + "}");
}

std::string OpenLocal(const std::string& path) {
  return Frame(R"({"action":"openLocalPDF","localPath":")" + path + R"("})");
}

std::string OpenByUrl(const std::string& url) {
  return Frame(R"({"action":"openByURL","URL":")" + url + R"("})");
}

std::vector<std::wstring> Argv(const std::wstring& command_line) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(command_line.c_str(), &count);
  std::vector<std::wstring> args(argv, argv + count);
  LocalFree(argv);
  return args;
}

class EditorLaunchTest : public ::testing::Test {
 protected:
  void Install() { ASSERT_TRUE(EditorFixture::SetInstallPath(fixture_.install_folder())); }
  std::vector<std::string> Run(const std::string& frames) {
    HostProcess host;
    EXPECT_TRUE(fixture_.RunHost(frames, &host));
    EXPECT_EQ(host.exit_code(), 0u);
    return SplitFrames(host.output());
  }
  std::wstring Editor() const { return fixture_.editor_path(); }
  // Runs the host over the frames, expecting the editor-not-found message.
  void RunExpectingTheMessage(const std::string& frames) {
    MessageBoxCloser closer;
    Run(frames);
    EXPECT_EQ(closer.Text(), L"Vellumix Editor is not found");
  }

  EditorFixture fixture_;
};

}  // namespace

TEST_F(EditorLaunchTest, OpenPdfInChunksWritesTheDocumentAndStartsTheEditor) {
  Install();
  const std::string pdf = SamplePdf();
  const std::string url = "data:application/pdf;base64," + Base64(pdf);
  const size_t a = 333, b = 1001;
  std::vector<std::string> replies =
      Run(OpenPdf(R"("title":"R\u00e9sum\u00e9 \u6771\u4eac","url":"https://example.org/a b.pdf",)",
                  url.substr(0, a), 2) +
          OpenPdf("", url.substr(a, b - a), 1) + OpenPdf("", url.substr(b), 0));
  EXPECT_EQ(replies, (std::vector<std::string>{kChunkRequest, kChunkRequest, kDoneReply}));

  std::vector<std::wstring> files = fixture_.TempPdfFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0], std::wregex(L"vlx_[0-9a-f]{32}\\.pdf")));
  std::wstring path = fixture_.temp_folder() + files[0];
  EXPECT_TRUE(ReadWholeFile(path) == pdf);

  std::vector<EditorStart> starts = fixture_.WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  // The install folder holds a blank: the planted <root>\Edit.exe is never run.
  EXPECT_EQ(starts[0].module, Editor());
  EXPECT_EQ(starts[0].command_line,
            Editor() + L" /A temp=yes;title=\"R\u00e9sum\u00e9 \u6771\u4eac\";"
                       L"url=\"https://example.org/a b.pdf\" \"" + path + L"\"");
}

TEST_F(EditorLaunchTest, EachOpenPdfGetsItsFileAndStartAndAnEmptyDocumentNone) {
  Install();
  std::vector<std::string> replies =
      Run(OpenPdf("", "data:application/pdf;base64,") + OpenPdf("", "no marker at all") +
          OpenPdf("", "data:application/pdf;base64,!!!!####") +
          OpenPdf("", "data:application/pdf;base64," + Base64("one")) +
          OpenPdf(R"("title":"","url":"",)", "data:application/pdf;base64," + Base64("two")));
  EXPECT_EQ(replies, std::vector<std::string>(5, kDoneReply));
  std::vector<std::wstring> files = fixture_.TempPdfFiles();
  ASSERT_EQ(files.size(), 2u);
  std::vector<EditorStart> starts = fixture_.WaitForStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  std::vector<std::wstring> expected, got;
  for (const std::wstring& file : files)
    expected.push_back(Editor() + L" /A temp=yes \"" + fixture_.temp_folder() + file + L"\"");
  for (const EditorStart& start : starts) got.push_back(start.command_line);
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, expected);
}

// A temporary folder on a small full volume (tests/e2e/full_temp_folder.sh
// mounts one and names it in VLX_FULL_TEMP): the cut-short PDF is removed and
// the editor is not started.
TEST_F(EditorLaunchTest, AFullTempFolderKeepsNoPdfAndStartsNothing) {
  wchar_t full[MAX_PATH];
  if (!GetEnvironmentVariableW(L"VLX_FULL_TEMP", full, MAX_PATH)) GTEST_SKIP() << "no full folder";
  Install();
  SetEnvironmentVariableW(L"TMP", full);
  SetEnvironmentVariableW(L"TEMP", full);
  std::string pdf = SamplePdf();
  while (pdf.size() < (200u << 10)) pdf += pdf;
  std::vector<std::string> replies = Run(OpenPdf("", "data:application/pdf;base64," + Base64(pdf)));
  EXPECT_EQ(replies, std::vector<std::string>{kDoneReply});
  EXPECT_TRUE(fixture_.WaitForStarts(0).empty());
  EXPECT_TRUE(FilesLike(std::wstring(full) + L"\\vlx_*").empty());
}

// Quotes and final backslashes in the title or url cannot add or merge
// arguments: the editor sees the switch, one token for the parts and the path.
TEST_F(EditorLaunchTest, HostileTitleAndUrlKeepTheArgumentsApart) {
  Install();
  Run(OpenPdf(R"("title":"x\" \"C:\\evil.pdf\" /A \"y","url":"https://h/\\\\",)",
              "data:application/pdf;base64," + Base64("pdf")) +
      OpenPdf(R"("title":"ends in \\","url":"\"",)", "data:application/pdf;base64," + Base64("2")));
  std::vector<std::wstring> files = fixture_.TempPdfFiles();
  std::vector<EditorStart> starts = fixture_.WaitForStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  ASSERT_EQ(files.size(), 2u);
  // The editor's path comes first, unquoted as ever; the arguments follow.
  std::vector<std::vector<std::wstring>> seen;
  for (const EditorStart& start : starts) {
    ASSERT_EQ(start.command_line.substr(0, Editor().size() + 1), Editor() + L" ");
    seen.push_back(Argv(L"editor " + start.command_line.substr(Editor().size() + 1)));
  }
  std::sort(seen.begin(), seen.end(), [](auto& l, auto& r) { return l[2].size() > r[2].size(); });
  ASSERT_EQ(seen[0].size(), 4u);
  ASSERT_EQ(seen[1].size(), 4u);
  EXPECT_EQ(seen[0][1], L"/A");
  EXPECT_EQ(seen[0][2], L"temp=yes;title=x\" \"C:\\evil.pdf\" /A \"y;url=https://h/\\\\");
  EXPECT_EQ(seen[1][2], L"temp=yes;title=ends in \\;url=\"");
  for (auto& args : seen) {
    EXPECT_NE(std::find(files.begin(), files.end(), args[3].substr(fixture_.temp_folder().size())),
              files.end());
  }
}

TEST_F(EditorLaunchTest, EditorMissingTakesEveryChunkAndShowsTheMessage) {
  ASSERT_TRUE(EditorFixture::SetInstallPath(fixture_.root()));  // no VLXEditor.exe there
  MessageBoxCloser closer;
  std::string url = "data:application/pdf;base64," + Base64(SamplePdf());
  std::vector<std::string> replies =
      Run(OpenPdf("", url.substr(0, 100), 5) + OpenPdf("", url.substr(100, 100), 3) +
          OpenPdf("", url.substr(200), 0));
  EXPECT_EQ(closer.Text(), L"Vellumix Editor is not found");
  EXPECT_EQ(replies, (std::vector<std::string>{kChunkRequest, kChunkRequest, kDoneReply}));
  EXPECT_TRUE(fixture_.TempPdfFiles().empty());
  EXPECT_TRUE(fixture_.WaitForStarts(0).empty());
}

// Each case: one host run with one openLocalPDF; found → started from the
// folder the value names, not found → the message.
TEST_F(EditorLaunchTest, InstallPathValueForms) {
  struct Case {
    const char* what;
    std::wstring value;
    DWORD type;
    bool found;
  };
  const std::wstring folder = fixture_.install_folder();
  const std::wstring bare = folder.substr(0, folder.size() - 1);
  // A folder literally named with percent signs: the value is never expanded.
  const std::wstring percent = fixture_.root() + L"%TEMP%\\";
  CreateDirectoryW(percent.c_str(), nullptr);
  CopyFileW(Editor().c_str(), (percent + L"VLXEditor.exe").c_str(), FALSE);
  const Case cases[] = {
      {"final backslash", folder, REG_SZ, true},
      {"no final separator", bare, REG_SZ, true},
      {"final slash", bare + L"/", REG_SZ, true},
      {"REG_EXPAND_SZ as written", percent, REG_EXPAND_SZ, true},
      {"folder without the editor", fixture_.temp_folder(), REG_SZ, false},
      {"empty", L"", REG_SZ, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(EditorFixture::SetInstallPath(c.value, c.type));
    std::wstring expected_folder = c.value == percent ? percent : folder;
    if (c.found) {
      Run(OpenLocal("C:/a.pdf"));
      std::vector<EditorStart> starts = fixture_.WaitForStarts(1);
      ASSERT_EQ(starts.size(), 1u);
      EXPECT_EQ(starts[0].command_line,
                expected_folder + L"VLXEditor.exe /A \"file:///C:/a.pdf\"");
      DeleteFileW((fixture_.root() + L"editor.log").c_str());
    } else {
      RunExpectingTheMessage(OpenLocal("C:/a.pdf"));
      EXPECT_TRUE(fixture_.WaitForStarts(0).empty());
    }
  }
}

TEST_F(EditorLaunchTest, DwordValueOrNoKeyCountsAsMissing) {
  ASSERT_TRUE(EditorFixture::SetInstallPathDword());
  RunExpectingTheMessage(OpenLocal("C:/a.pdf"));
  EditorFixture::DeleteKey();
  RunExpectingTheMessage(OpenByUrl("https://h/"));
  EXPECT_TRUE(fixture_.WaitForStarts(0).empty());
}

// A browser may run the host in a job that ends with it. Both ways of
// starting the editor break away where the job allows it and start it
// plainly where the job refuses.
TEST_F(EditorLaunchTest, EditorStartsLeaveTheHostsJobWhereAllowed) {
  Install();
  for (bool breakaway_ok : {true, false}) {
    SCOPED_TRACE(breakaway_ok ? "breakaway allowed" : "breakaway refused");
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    ASSERT_NE(job, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags =
        breakaway_ok ? JOB_OBJECT_LIMIT_BREAKAWAY_OK : DWORD(0);
    ASSERT_TRUE(SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                        sizeof limits));
    HostProcess host;
    host.set_job(job);
    ASSERT_TRUE(fixture_.RunHost(OpenLocal("C:/a.pdf") + OpenByUrl("https://h/"), &host));
    std::vector<EditorStart> starts = fixture_.WaitForStarts(2);
    ASSERT_EQ(starts.size(), 2u);
    for (const EditorStart& start : starts) EXPECT_EQ(start.in_job, !breakaway_ok);
    CloseHandle(job);
    DeleteFileW((fixture_.root() + L"editor.log").c_str());
  }
}
