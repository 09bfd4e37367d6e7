#include "host/main_loop.h"

#include <gtest/gtest.h>

#include "scripted_channel.h"

namespace {

// A platform whose pipe fails to be polled, as with a console or a file.
class NoPipePlatform : public RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  bool PeekInput(uint32_t*) override { return false; }
};

class MainLoopTest : public ::testing::Test {
 protected:
  int Serve(HostPlatform& platform) {
    HostSession session{pipe_.channel(), &platform, {}, {}};
    return ServeRequests(session);
  }

  ScriptedChannel pipe_;
};

}  // namespace

TEST_F(MainLoopTest, NothingWrittenMeansNothingReadAndExitZero) {
  RecordingPlatform platform(pipe_);
  EXPECT_EQ(Serve(platform), 0);
  EXPECT_EQ(platform.polls, 3);  // the first look, the loop's, the drain step's
  EXPECT_TRUE(pipe_.Output().empty());
}

TEST_F(MainLoopTest, FailingPollExitsAtOnce) {
  pipe_.FeedFrame(R"({"action":"actGetVersion"})");
  NoPipePlatform platform(pipe_);
  EXPECT_EQ(Serve(platform), 0);
  EXPECT_TRUE(pipe_.Output().empty());
}

// An unknown action and an empty frame are answered too, with state 65280.
TEST_F(MainLoopTest, EveryPendingRequestGetsOneReplyInOrder) {
  pipe_.FeedFrame(R"({"action":"actGetVersion"})");
  pipe_.FeedFrame(R"({"action":"nothing"})");
  pipe_.Feed(std::string(4, '\0'));
  RecordingPlatform platform(pipe_);
  EXPECT_EQ(Serve(platform), 0);
  EXPECT_EQ(pipe_.OutputFrames(),
            (std::vector<std::string>{kVersionReply, kUnknownReply, kUnknownReply}));
}
