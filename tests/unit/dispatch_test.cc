#include "host/dispatch.h"

#include <gtest/gtest.h>

#include "scripted_channel.h"

namespace {

class DispatchTest : public ::testing::Test {
 protected:
  int32_t Dispatch(const char* text) {
    answer_.Release();
    return DispatchRequest(session_, text, &answer_);
  }
  std::u16string Answer() const { return answer_.c_str(); }

  ScriptedChannel pipe_;
  RecordingPlatform platform_{pipe_};
  HostSession session_{pipe_.channel(), &platform_, {}, {}};
  DWString answer_;
};

}  // namespace

TEST_F(DispatchTest, VersionIsAnswered) {
  EXPECT_EQ(Dispatch(R"({"action":"ACTGETVERSION"})"), 0);
  EXPECT_EQ(Answer(), u"11.1.1.0");
}

TEST_F(DispatchTest, RequestsWithoutAKnownActionGet65280AndNoAnswer) {
  for (const char* text : {R"({"action":"actGetVersion "})", R"({"Action":"actGetVersion"})",
                           R"({"action":7})", R"(["actGetVersion"])", "", "garbage"}) {
    EXPECT_EQ(Dispatch(text), 65280) << text;
    EXPECT_EQ(Answer(), u"") << text;
  }
}

TEST_F(DispatchTest, CancelOutsideAConversionDoesNothing) {
  EXPECT_EQ(Dispatch(R"({"action":"cancel"})"), 0);
  EXPECT_EQ(Answer(), u"");
  EXPECT_TRUE(platform_.signalled_events.empty());
  EXPECT_TRUE(pipe_.Output().empty());
}
