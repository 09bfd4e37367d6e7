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
    return result;
  }
  void ShowSettings() override { ++settings; }

  int32_t result = 42;
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

TEST_F(ConversionHandlersTest, HtmlNeedsItsText) {
  EXPECT_EQ(Dispatch(R"({"action":"HTMLoPDF"})"), 0);
  EXPECT_EQ(Dispatch(R"({"action":"HTMLoPDF","htmlText":5})"), 0);
  EXPECT_TRUE(converter_.runs.empty());
  EXPECT_EQ(Dispatch(R"({"action":"HTMLoPDF","htmlText":""})"), 42);
  EXPECT_EQ(Dispatch(R"({"action":"htmlopdf","htmlText":"<p>\u00e9</p>"})"), 42);
  ASSERT_EQ(converter_.runs.size(), 2u);
  EXPECT_EQ(converter_.runs[0].text, "");
  EXPECT_EQ(converter_.runs[1].text, "<p>\xc3\xa9</p>");
  EXPECT_FALSE(converter_.runs[1].is_mhtml);
}

TEST_F(ConversionHandlersTest, MhtmlVersions) {
  converter_.result = -1;
  EXPECT_EQ(Dispatch(R"({"action":"MHTMLoPDF"})"), -1);
  EXPECT_EQ(Dispatch(R"({"action":"MHTMLoPDF","version":"2","mhtmlText":"a"})"), -1);
  EXPECT_EQ(Dispatch(R"({"action":"MHTMLoPDF","version":3,"mhtmlText":"a"})"), 0);
  EXPECT_EQ(Dispatch(R"({"action":"MHTMLoPDF","version":2})"), -1);
  ASSERT_EQ(converter_.runs.size(), 3u);
  EXPECT_EQ(converter_.runs[0].text, "");
  EXPECT_EQ(converter_.runs[1].text, "a");
  EXPECT_EQ(converter_.runs[2].text, "");
  EXPECT_TRUE(converter_.runs[2].is_mhtml);
  EXPECT_TRUE(pipe_.Output().empty());  // no piece: nothing asked for
}

TEST_F(ConversionHandlersTest, MhtmlInChunks) {
  pipe_.FeedFrame(R"({"action":"openPDF","data":"dropped","dataRest":0})");
  pipe_.FeedFrame(R"({"action":"MHTMLoPDF","data":"two","dataRest":0})");
  EXPECT_EQ(Dispatch(R"({"action":"MHTMLoPDF","version":2,"data":"one-","dataRest":1})"), 42);
  ASSERT_EQ(converter_.runs.size(), 1u);
  EXPECT_EQ(converter_.runs[0].text, "one-two");
  EXPECT_EQ(pipe_.OutputFrames().size(), 2u);
}

TEST_F(ConversionHandlersTest, MhtmlTransferBrokenOffStartsNothing) {
  EXPECT_EQ(Dispatch(R"({"action":"MHTMLoPDF","version":2,"data":"one","dataRest":1})"), 0);
  EXPECT_TRUE(converter_.runs.empty());
}

TEST_F(ConversionHandlersTest, TitlesAreMadeSafe) {
  const char* requests[] = {
      R"({"action":"HTMLoPDF","htmlText":"","title":"D:\\docs\\a:b?.html"})",
      R"({"action":"HTMLoPDF","htmlText":"","title":"one\r\ntwo"})",
      R"({"action":"MHTMLoPDF","title":"R\u00e9sum\u00e9 \u6587 <*|\">"})",
      R"({"action":"HTMLoPDF","htmlText":"","title":["x"]})",
  };
  for (const char* request : requests) Dispatch(request);
  ASSERT_EQ(converter_.runs.size(), 4u);
  EXPECT_EQ(converter_.runs[0].title, u"b .html");
  EXPECT_EQ(converter_.runs[1].title, u"one two");
  EXPECT_EQ(converter_.runs[2].title, u"R\u00e9sum\u00e9 \u6587      ");
  EXPECT_EQ(converter_.runs[3].title, u"");
}

TEST_F(ConversionHandlersTest, PreferencesShowTheSettings) {
  EXPECT_EQ(Dispatch(R"({"action":"preferences"})"), 0);
  EXPECT_EQ(converter_.settings, 1);
}
