#include "host/main_loop.h"

#include <gtest/gtest.h>

#include "scripted_channel.h"

namespace {

// A platform whose pipe fails to be polled, as with a console or a file.
class NoPipePlatform : public RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  bool PeekInput(uint32_t*) override {
    ++polls;
    return false;
  }
};

}  // namespace

TEST(MainLoopTest, NothingWrittenMeansNothingReadAndExitZero) {
  ScriptedChannel pipe;
  RecordingPlatform platform(pipe);
  HostSession session{pipe.channel(), &platform, {}, {}};
  EXPECT_EQ(ServeRequests(session), 0);
  EXPECT_EQ(platform.polls, 3);  // the first look, the loop's, the drain step's
  EXPECT_TRUE(pipe.Output().empty());
}

TEST(MainLoopTest, FailingPollExitsAtOnce) {
  ScriptedChannel pipe;
  pipe.FeedFrame(R"({"action":"actGetVersion"})");
  NoPipePlatform platform(pipe);
  HostSession session{pipe.channel(), &platform, {}, {}};
  EXPECT_EQ(ServeRequests(session), 0);
  EXPECT_TRUE(pipe.Output().empty());
}

TEST(MainLoopTest, EveryPendingRequestGetsOneReplyInOrder) {
  ScriptedChannel pipe;
  pipe.FeedFrame(R"({"action":"actGetVersion"})");
  pipe.FeedFrame(R"({"action":"nothing"})");
  pipe.Feed(std::string(4, '\0'));
  RecordingPlatform platform(pipe);
  HostSession session{pipe.channel(), &platform, {}, {}};
  EXPECT_EQ(ServeRequests(session), 0);
  std::vector<std::string> replies = pipe.OutputFrames();
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0], kVersionReply);
  EXPECT_EQ(replies[1], kUnknownReply);
  EXPECT_EQ(replies[2], kUnknownReply);
}

TEST(MainLoopTest, PrefixCutShortGetsOneUnknownReply) {
  ScriptedChannel pipe;
  pipe.Feed(std::string("\x1a\0", 2));
  RecordingPlatform platform(pipe);
  HostSession session{pipe.channel(), &platform, {}, {}};
  EXPECT_EQ(ServeRequests(session), 0);
  std::vector<std::string> replies = pipe.OutputFrames();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0], kUnknownReply);
}

// The drain step runs the collected editor start once, then polls again.
TEST(MainLoopTest, PendingLaunchRunsOnceWhenTheInputIsDrained) {
  ScriptedChannel pipe;
  pipe.FeedFrame(R"({"action":"actGetVersion"})");
  RecordingPlatform platform(pipe);
  HostSession session{pipe.channel(), &platform, {}, {}};
  ASSERT_TRUE(session.editor_path_cache.Assign(u"C:\\Editor\\VLXEditor.exe"));
  ASSERT_TRUE(session.pending_editor_command_line.Assign(u"C:\\Editor\\VLXEditor.exe \"a\""));
  EXPECT_EQ(ServeRequests(session), 0);
  ASSERT_EQ(platform.command_lines.size(), 1u);
  EXPECT_EQ(platform.programs[0], u"C:\\Editor\\VLXEditor.exe");
  EXPECT_EQ(platform.command_lines[0], u"C:\\Editor\\VLXEditor.exe \"a\"");
  EXPECT_TRUE(session.pending_editor_command_line.empty());
  EXPECT_EQ(pipe.OutputFrames().size(), 1u);
}
