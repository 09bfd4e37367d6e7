#include "host/main_loop.h"

#include <gtest/gtest.h>

#include "scripted_channel.h"

TEST(MainLoopTest, NothingWrittenMeansNothingReadAndExitZero) {
  ScriptedChannel pipe;
  HostSession session{pipe.channel(), &pipe, {}, {}};
  EXPECT_EQ(ServeRequests(session), 0);
  EXPECT_TRUE(pipe.Output().empty());
}

// A pipe that cannot be polled, as with a console or a file: nothing is read.
TEST(MainLoopTest, FailingPollExitsAtOnce) {
  struct : ScriptedChannel {
    bool PeekInput(uint32_t*) override { return false; }
  } pipe;
  pipe.FeedFrame(R"({"action":"actGetVersion"})");
  HostSession session{pipe.channel(), &pipe, {}, {}};
  EXPECT_EQ(ServeRequests(session), 0);
  EXPECT_TRUE(pipe.Output().empty());
}
