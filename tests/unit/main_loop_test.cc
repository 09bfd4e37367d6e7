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
