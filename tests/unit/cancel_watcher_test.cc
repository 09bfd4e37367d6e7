#include "host/cancel_watcher.h"

#include <gtest/gtest.h>

#include "host/host_session.h"
#include "host/main_loop.h"
#include "scripted_channel.h"

namespace {

constexpr char kZeroReply[] =
    "{\n    \"action\": \"responceDone\",\n    \"version\": 3,\n    \"state\": 0,\n"
    "    \"answer\": \"\"\n}";

struct WatchCase {
  const char* name;
  std::string input;
  bool signalled;
  // What the main loop answers after the watch: the kept frames, then the rest.
  std::vector<std::string> replies;
};

class CancelWatcherTest : public ::testing::TestWithParam<WatchCase> {
 protected:
  CancelWatcherTest() {
    context_.session = &session_;
    EXPECT_TRUE(context_.cancel_event_name.Assign(u"Local\\converter-cancel"));
  }

  ScriptedChannel pipe_;
  RecordingPlatform platform_{pipe_};
  HostSession session_{pipe_.channel(), &platform_, {}, {}};
  ConversionContext context_;
};

const std::string kVersion = Frame(R"({"action":"actGetVersion"})");
const std::string kCancel = Frame(R"({"action":"CANCEL"})");

}  // namespace

// Nothing the watcher reads is lost: what is not a "cancel" is answered by
// the main loop afterwards, in order; the "cancel" it acts on is not.
TEST_P(CancelWatcherTest, KeepsWhatIsNotACancelForTheMainLoop) {
  const WatchCase& c = GetParam();
  pipe_.Feed(c.input);
  WatchForCancel(context_);
  EXPECT_EQ(context_.cancel_event_name.empty(), !c.signalled);
  EXPECT_TRUE(pipe_.Output().empty());
  EXPECT_EQ(ServeRequests(session_), 0);
  EXPECT_EQ(pipe_.OutputFrames(), c.replies);
  // A "cancel" the main loop reads, with no conversion running, signals nothing.
  EXPECT_EQ(platform_.signalled_events.size(), c.signalled ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CancelWatcherTest,
    ::testing::Values(
        WatchCase{"CancelAmongOthers", kVersion + Frame("not json") + kCancel + kVersion, true,
                  {kVersionReply, kUnknownReply, kVersionReply}},
        WatchCase{"InputEndsInsideAFrame", kVersion + kCancel.substr(0, 9), false,
                  {kVersionReply, kUnknownReply}},
        WatchCase{"EmptyFrameEndsTheWatch", std::string(4, '\0') + kCancel, false,
                  {kUnknownReply, kZeroReply}}),
    [](const ::testing::TestParamInfo<WatchCase>& info) { return info.param.name; });
