#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/dispatch.h"
#include "host/host_session.h"
#include "launch/converter.h"
#include "scripted_channel.h"

namespace {

struct Run {
  std::string text;
  std::u16string title;
  bool is_mhtml;
};

class RecordingConverter : public Converter {
 public:
  int32_t RunConversion(HostSession&, const DByteChain& page, const DWChar* title,
                        bool is_mhtml) override {
    std::string text;
    page.Each([&](const uint8_t* bytes, uint32_t count) {
      text.append(reinterpret_cast<const char*>(bytes), count);
      return true;
    });
    runs.push_back({text, title, is_mhtml});
    return 42;
  }
  void ShowSettings() override { ++settings; }

  std::vector<Run> runs;
  int settings = 0;
};

class ConversionHandlersTest : public ::testing::Test {
 protected:
  int32_t Dispatch(const std::string& text) {
    DWString answer;
    return DispatchRequest(session_, text.c_str(), &answer);
  }

  ScriptedChannel pipe_;
  RecordingPlatform platform_{pipe_};
  RecordingConverter converter_;
  HostSession session_{pipe_.channel(), &platform_, {}, {}, nullptr, &converter_};
};

}  // namespace

TEST_F(ConversionHandlersTest, ConvertsThePageTheRequestCarries) {
  const struct {
    const char* request;
    int32_t state;
    const char* page;  // null: the converter does not run
    bool is_mhtml;
  } cases[] = {
      {R"({"action":"HTMLoPDF"})", 0, nullptr, false},
      {R"({"action":"HTMLoPDF","htmlText":5})", 0, nullptr, false},
      {R"({"action":"HTMLoPDF","htmlText":""})", 42, "", false},
      {R"({"action":"htmlopdf","htmlText":"<p>\u00e9</p>"})", 42, "<p>\xc3\xa9</p>", false},
      // Version 1, also when "version" is absent or no integer, carries "mhtmlText".
      {R"({"action":"MHTMLoPDF"})", 42, "", true},
      {R"({"action":"MHTMLoPDF","version":"2","mhtmlText":"a"})", 42, "a", true},
      {R"({"action":"MHTMLoPDF","version":3,"mhtmlText":"a"})", 0, nullptr, false},
      // Version 2 without a first piece asks for none; broken off, it converts nothing.
      {R"({"action":"MHTMLoPDF","version":2})", 42, "", true},
      {R"({"action":"MHTMLoPDF","version":2,"data":"one","dataRest":1})", 0, nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    converter_.runs.clear();
    EXPECT_EQ(Dispatch(c.request), c.state);
    ASSERT_EQ(converter_.runs.size(), c.page ? 1u : 0u);
    if (!c.page) continue;
    EXPECT_EQ(converter_.runs[0].text, c.page);
    EXPECT_EQ(converter_.runs[0].is_mhtml, c.is_mhtml);
  }
  EXPECT_EQ(pipe_.OutputFrames().size(), 1u);  // the broken-off transfer's ask
}

// The pieces are those of "MHTMLoPDF": an "openPDF" piece meanwhile is dropped.
TEST_F(ConversionHandlersTest, MhtmlInChunks) {
  pipe_.FeedFrame(R"({"action":"openPDF","data":"dropped","dataRest":0})");
  pipe_.FeedFrame(R"({"action":"MHTMLoPDF","data":"two","dataRest":0})");
  EXPECT_EQ(Dispatch(R"({"action":"MHTMLoPDF","version":2,"data":"one-","dataRest":1})"), 42);
  ASSERT_EQ(converter_.runs.size(), 1u);
  EXPECT_EQ(converter_.runs[0].text, "one-two");
  EXPECT_EQ(pipe_.OutputFrames().size(), 2u);
}

// The title, UTF-8, made a file name by DMakeSafeFileName (its last part
// only); no string, no name.
TEST_F(ConversionHandlersTest, TitlesAreMadeSafe) {
  Dispatch(
      R"({"action":"HTMLoPDF","htmlText":"","title":"D:\\docs\\a:R\u00e9sum\u00e9 \u6587?.html"})");
  Dispatch(R"({"action":"MHTMLoPDF","title":["x"]})");
  ASSERT_EQ(converter_.runs.size(), 2u);
  EXPECT_EQ(converter_.runs[0].title, u"R\u00e9sum\u00e9 \u6587 .html");
  EXPECT_EQ(converter_.runs[1].title, u"");
}

TEST_F(ConversionHandlersTest, PreferencesShowTheSettings) {
  EXPECT_EQ(Dispatch(R"({"action":"preferences"})"), 0);
  EXPECT_EQ(converter_.settings, 1);
}
