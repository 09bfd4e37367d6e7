// What each request does, reached through DispatchRequest: the open actions
// (the editor's seam faked) and the conversions (the converter's).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/open_actions.h"
#include "actions/temp_pdf.h"
#include "fake_host.h"
#include "host/dispatch.h"
#include "host/main_loop.h"
#include "launch/command_line_limit.h"
#include "launch/converter.h"
#include "launch/editor_launch.h"
#include "launch/editor_platform.h"
#include "scripted_channel.h"

namespace {

class HandlersTest : public ::testing::Test {
 protected:
  int32_t Dispatch(std::string text) {
    DWString answer;
    return DispatchRequest(session_, &text[0], &answer);
  }
  int Serve() { return ServeRequests(session_); }

  ScriptedChannel pipe_;
  FakeEditor editor_;
  RecordingConverter converter_;
  HostSession session_{pipe_.channel(), &pipe_, {}, {}, &editor_, &converter_};
};

}  // namespace

TEST_F(HandlersTest, OpenPdfJoinsEveryChunkAndStartsTheEditorOnce) {
  pipe_.FeedFrame(R"({"action":"openPDF","data":"QU","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","data":"JD"})");
  EXPECT_EQ(Dispatch(R"({"action":"openPDF","data":"data:application/pdf;base64,","dataRest":2})"),
            0);
  EXPECT_EQ(pipe_.OutputFrames(), (std::vector<std::string>{kChunkRequest, kChunkRequest}));
  EXPECT_EQ(editor_.closed, std::vector<std::string>{"ABC"});
  EXPECT_EQ(editor_.starts.size(), 1u);
}

// Title and url are added as non-empty strings only. Neither can end its
// quoted part early: every double quote and every backslash run before one
// is escaped under the command-line rules.
TEST_F(HandlersTest, OpenPdfQuotesTitleAndUrlWhenGiven) {
  const struct {
    const char* members;
    std::u16string arguments;
  } cases[] = {{"", u"/A temp=yes"},
               {R"("title":"","url":7,)", u"/A temp=yes"},
               {R"("title":"T \u00e9","url":"https://x/y?a=b",)",
                u"/A temp=yes;title=\"T \u00e9\";url=\"https://x/y?a=b\""},
               {R"("title":"a\\\" /B \"c:\\x.pdf","url":"https://x/\\\\",)",
                u"/A temp=yes;title=\"a\\\\\\\" /B \\\"c:\\x.pdf\";url=\"https://x/\\\\\\\\\""},
               // Look-alikes of '"' and '\' in ANSI code pages, and one whose trail
               // byte is '\' before the closing quote.
               {R"("title":"x\uff02 /P \uff02 \u8868","url":"https://h/\uff3c\u00a5",)",
                u"/A temp=yes;title=\"x? /P ? ?\";url=\"https://h/%ef%bc%bc%c2%a5\""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.members);
    editor_.starts.clear();
    Dispatch(std::string(R"({"action":"openPDF",)") + c.members + R"("data":"data:;base64,QQ=="})");
    EXPECT_EQ(editor_.starts, std::vector<std::u16string>{kEditor + (u" " + c.arguments) +
                                                          u" \"C:\\Temp\\vlx_0123.pdf\""});
  }
}

// Nothing is opened, and no file left, when the transfer is broken off (a
// piece too large to hold was dropped: the channel stands at the next frame)
// or nothing decodes to a byte: no marker, nothing after it, or no character
// of the Base64 alphabet after it.
TEST_F(HandlersTest, OpenPdfWithoutADocumentOpensNothing) {
  const std::string next = Frame(R"({"action":"openPDF","data":"QUJD"})");
  pipe_.FeedOversizedFrame();
  pipe_.Feed(next);
  Dispatch(R"({"action":"openPDF","data":"data:;base64,QUJD","dataRest":1})");
  EXPECT_EQ(pipe_.OutputFrames(), std::vector<std::string>{kChunkRequest});
  EXPECT_EQ(pipe_.Unread(), next.size());
  EXPECT_EQ(editor_.lookups, 0);
  EXPECT_TRUE(editor_.written.empty());
  for (const char* data : {"data:application/pdf;base64,!!!!####", "data:application/pdf;base64,",
                           "data:application/pdf,QUJD", "QUJD", "data:;base64,Q"}) {
    Dispatch(std::string(R"({"action":"openPDF","data":")") + data + R"("})");
    EXPECT_TRUE(editor_.written.empty()) << data;
  }
  EXPECT_TRUE(editor_.closed.empty());
  EXPECT_TRUE(editor_.starts.empty());
}

// A start that fails leaves no file. (How the line fits: ansi_arguments_fuzzer
// and EditorLaunchTest.ALongTitleGivesWayAndTheDocumentOpens.)
TEST_F(HandlersTest, AFailedEditorStartLeavesNoFile) {
  Dispatch(R"({"action":"openPDF","data":"data:;base64,QQ=="})");
  EXPECT_TRUE(editor_.discarded.empty());
  editor_.starts_succeed = false;
  Dispatch(R"({"action":"openPDF","data":"data:;base64,QQ=="})");
  EXPECT_EQ(editor_.discarded, std::vector<std::u16string>{u"C:\\Temp\\vlx_0123.pdf"});
}

// The document is decoded piece by piece: the marker and the groups may be
// cut anywhere, and the result is the whole text's decode.
TEST(PdfDocumentSinkTest, DecodesAsTheJoinedTextWhereverThePiecesAreCut) {
  const std::string text = "data:x;base64,QU\nJD;base64,ZG VmZw==\r\nQUJDRA";
  // The significant characters QUJD base 64ZG VmZw QUJD RA, in groups of four.
  const std::string whole = "\x41\x42\x43\x6d\xab\x1e\xeb\x86\x46\x56\x66\x70\x41\x42\x43\x44";
  for (size_t cut1 = 0; cut1 <= text.size(); ++cut1) {
    for (size_t cut2 = cut1; cut2 <= text.size(); cut2 += 3) {
      FakeEditor file;
      PdfDocumentSink sink(&file);
      for (auto piece : {text.substr(0, cut1), text.substr(cut1, cut2 - cut1), text.substr(cut2)})
        ASSERT_TRUE(piece.empty() || sink.Take(piece.data(), uint32_t(piece.size())));
      sink.Finish();
      ASSERT_EQ(file.written, whole) << cut1 << " " << cut2;
    }
  }
}

// While the editor is missing, each URL looks for it again (an empty one is
// ignored); once found, its path is kept.
TEST_F(HandlersTest, UrlsOfOneBurstReachOneStartEscapedInOrder) {
  editor_.installed = false;
  pipe_.FeedFrame(R"({"action":"openByURL","URL":"a"})");
  pipe_.FeedFrame(R"({"action":"openByURL","URL":""})");
  pipe_.FeedFrame(R"({"action":"openByURL","URL":"b"})");
  EXPECT_EQ(Serve(), 0);
  EXPECT_EQ(editor_.not_found_shown, 2);
  EXPECT_TRUE(pipe_.command_lines.empty());

  editor_.installed = true;
  editor_.lookups = 0;
  pipe_.FeedFrame(R"({"action":"openByURL","URL":"https://h/a b?c=d&e"})");
  pipe_.FeedFrame(R"({"action":"openByURL","url":"https://h/lower"})");
  pipe_.FeedFrame(R"({"action":"openByURL","URL":"https://h/\"q\"\\"})");
  pipe_.FeedFrame(R"({"action":"openByURL","URL":"https://h/3"})");
  EXPECT_EQ(Serve(), 0);
  EXPECT_EQ(pipe_.OutputFrames().size(), 7u);
  EXPECT_EQ(editor_.lookups, 1);
  ASSERT_EQ(pipe_.command_lines.size(), 1u);
  EXPECT_EQ(pipe_.programs[0], kEditor);
  EXPECT_EQ(
      pipe_.command_lines[0],
      std::u16string(kEditor) +
          u" /A \"https://h/a%20b%3fc%3dd%26e\" /A \"https://h/%22q%22%5c\" /A \"https://h/3\"");
  EXPECT_TRUE(session_.pending_editor_command_line.empty());

  pipe_.FeedFrame(R"({"action":"openByURL","URL":"x"})");
  EXPECT_EQ(Serve(), 0);
  EXPECT_EQ(editor_.lookups, 1);
  ASSERT_EQ(pipe_.command_lines.size(), 2u);
  EXPECT_EQ(pipe_.command_lines[1], std::u16string(kEditor) + u" /A \"x\"");
}

TEST_F(HandlersTest, PendingLineIsSplitBeyond8191Units) {
  const std::u16string editor(kEditor);
  const uint32_t room = kEditorCommandLineLimit - uint32_t(editor.size()) - 12;
  const std::u16string a(room / 2, u'a'), b(room - room / 2, u'b');
  ASSERT_TRUE(session_.editor_path_cache.Assign(kEditor));
  QueueEditorArgument(session_, a.c_str());
  QueueEditorArgument(session_, b.c_str());
  std::u16string full = editor + u" /A \"" + a + u"\" /A \"" + b + u"\"";
  ASSERT_EQ(full.size(), kEditorCommandLineLimit);
  EXPECT_EQ(session_.pending_editor_command_line.c_str(), full);

  QueueEditorArgument(session_, u"c");
  ASSERT_EQ(pipe_.command_lines.size(), 1u);
  EXPECT_EQ(pipe_.command_lines[0], full);
  EXPECT_EQ(pipe_.programs[0], editor);
  EXPECT_EQ(session_.pending_editor_command_line.c_str(), editor + u" /A \"c\"");

  // A single argument past the limit stays in its line, whole.
  session_.pending_editor_command_line.Empty();
  const std::u16string huge(kEditorCommandLineLimit, u'h');
  QueueEditorArgument(session_, huge.c_str());
  EXPECT_EQ(session_.pending_editor_command_line.c_str(), editor + u" /A \"" + huge + u"\"");
  QueueEditorArgument(session_, u"d");
  ASSERT_EQ(pipe_.command_lines.size(), 2u);
  EXPECT_EQ(pipe_.command_lines[1], editor + u" /A \"" + huge + u"\"");
  EXPECT_EQ(session_.pending_editor_command_line.c_str(), editor + u" /A \"d\"");

  // One that alone would pass what Windows starts is dropped.
  const std::u16string too_long(kCommandLineMaxLength - editor.size() - 5, u'h');
  QueueEditorArgument(session_, too_long.c_str());
  QueueEditorArgument(session_, too_long.substr(1).c_str());
  EXPECT_EQ(pipe_.command_lines.size(), 3u);
  EXPECT_EQ(session_.pending_editor_command_line.length(), kCommandLineMaxLength);
}

// What cannot be unescaped, holds a quote or names a device is refused
// before the editor is looked for; so is a path too long for the line.
TEST_F(HandlersTest, OpenLocalPdfStartsTheEditorOnTheUnescapedFileUrl) {
  const struct {
    const char* members;
    const char16_t* argument;  // null: refused
  } cases[] = {{R"("localPath":"C:/My%20Docs/a.pdf")", u"file:///C:/My Docs/a.pdf"},
               {R"("localPath":"file:///C:/a.pdf")", u"file:///file:///C:/a.pdf"},
               {R"("localPath":"C:\\dir\\")", u"file:///C:\\dir\\\\"},
               {R"("localPath":"C:/100%25.pdf")", u"file:///C:/100%.pdf"},
               {R"("localPath":"C:/a\uff02b\u00a5.pdf")", u"file:///C:/a%ef%bc%82b%c2%a5.pdf"},
               {R"("localPath":"\\\\srv\\share\\a.pdf")", u"file:///\\\\srv\\share\\a.pdf"},
               {R"("localPath":"\\\\?\\C:\\a.pdf")", u"file:///\\\\?\\C:\\a.pdf"},
               {R"("localPath":"//?/UNC/srv/share/a.pdf")", u"file://///?/UNC/srv/share/a.pdf"},
               {R"("localPath":"\\\\.\\pipe\\x")", nullptr},
               {R"("localPath":"%5c%5c.%5cC:%5ca.pdf")", nullptr},
               {R"("localPath":"//./C:/a.pdf")", nullptr},
               {R"("localPath":"\\\\?\\GLOBALROOT\\Device\\x")", nullptr},
               {R"("localPath":"\\??\\Volume{1}\\a.pdf")", nullptr},
               {R"("localPath":"\\\\?\\C:")", nullptr},
               {R"("localPath":"\\\\srv\\PIPE\\x")", nullptr},
               {R"("localPath":"C:/dir/com1.pdf")", nullptr},
               {R"("localPath":"C:/a% b.pdf")", nullptr},
               {R"("localPath":"C:/a%22.pdf")", nullptr},
               {R"("LocalPath":"C:/a.pdf")", nullptr},
               {R"("localPath":"")", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.members);
    editor_.starts.clear();
    editor_.lookups = 0;
    Dispatch(std::string(R"({"action":"openLocalPDF",)") + c.members + "}");
    EXPECT_EQ(editor_.lookups, c.argument ? 1 : 0);
    std::vector<std::u16string> starts;
    if (c.argument) starts.push_back(kEditor + (u" /A \"" + std::u16string(c.argument) + u"\""));
    EXPECT_EQ(editor_.starts, starts);
  }
  Dispatch(R"({"action":"openLocalPDF","localPath":")" + std::string(40000, 'a') + "\"}");
  EXPECT_TRUE(editor_.starts.empty());
  editor_.installed = false;
  Dispatch(R"({"action":"openLocalPDF","localPath":"C:/a.pdf"})");
  EXPECT_EQ(editor_.not_found_shown, 1);
  EXPECT_TRUE(editor_.starts.empty());
}

TEST_F(HandlersTest, ASessionWithoutTheEditorSeamOpensNothing) {
  session_.editor = nullptr;
  pipe_.FeedFrame(R"({"action":"openPDF","data":"data:;base64,QQ==","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","data":"QQ=="})");
  pipe_.FeedFrame(R"({"action":"openByURL","URL":"a"})");
  pipe_.FeedFrame(R"({"action":"openLocalPDF","localPath":"C:/a.pdf"})");
  EXPECT_EQ(Serve(), 0);
  EXPECT_EQ(pipe_.OutputFrames(),
            (std::vector<std::string>{kChunkRequest, Reply("0"), Reply("0"), Reply("0")}));
}

// The converter's result is the reply's state; without a page to convert
// the state is 0.
TEST_F(HandlersTest, ConvertsThePageTheRequestCarries) {
  const struct {
    const char* request;
    const char* page;  // null: the converter does not run
    bool is_mhtml;
  } cases[] = {
      {R"({"action":"HTMLoPDF"})", nullptr, false},
      {R"({"action":"HTMLoPDF","htmlText":5})", nullptr, false},
      {R"({"action":"HTMLoPDF","htmlText":""})", "", false},
      {R"({"action":"htmlopdf","htmlText":"<p>\u00e9</p>"})", "<p>\xc3\xa9</p>", false},
      // Version 1, also when "version" is absent or no integer, carries "mhtmlText".
      {R"({"action":"MHTMLoPDF"})", "", true},
      {R"({"action":"MHTMLoPDF","version":"2","mhtmlText":"a"})", "a", true},
      {R"({"action":"MHTMLoPDF","version":3,"mhtmlText":"a"})", nullptr, false},
      // Version 2 without a first piece asks for none, whatever "dataRest" says;
      // broken off, it converts nothing.
      {R"({"action":"MHTMLoPDF","version":2,"dataRest":1})", "", true},
      {R"({"action":"MHTMLoPDF","version":2,"data":"one","dataRest":1})", nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    converter_.runs.clear();
    EXPECT_EQ(Dispatch(c.request), c.page ? 42 : 0);
    EXPECT_FALSE(converter_.open);  // no page file outlives the request
    ASSERT_EQ(converter_.runs.size(), c.page ? 1u : 0u);
    if (!c.page) continue;
    EXPECT_EQ(converter_.runs[0].text, c.page);
    EXPECT_EQ(converter_.runs[0].is_mhtml, c.is_mhtml);
  }
  EXPECT_EQ(pipe_.OutputFrames().size(), 1u);  // the broken-off transfer's ask
}

// The title, UTF-8, made a file name by DMakeSafeFileName (its last part
// only); no string, no name.
TEST_F(HandlersTest, TitlesAreMadeSafe) {
  Dispatch(
      R"({"action":"HTMLoPDF","htmlText":"","title":"D:\\docs\\a:R\u00e9sum\u00e9 \u6587?.html"})");
  Dispatch(R"({"action":"MHTMLoPDF","title":["x"]})");
  ASSERT_EQ(converter_.runs.size(), 2u);
  EXPECT_EQ(converter_.runs[0].title, u"R\u00e9sum\u00e9 \u6587 .html");
  EXPECT_EQ(converter_.runs[1].title, u"");
}

TEST_F(HandlersTest, PreferencesShowTheSettings) {
  EXPECT_EQ(Dispatch(R"({"action":"preferences"})"), 0);
  EXPECT_EQ(converter_.settings, 1);
}
