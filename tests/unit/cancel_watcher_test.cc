#include "host/cancel_watcher.h"

#include <gtest/gtest.h>

#include "host/host_session.h"
#include "scripted_channel.h"

namespace {

class CancelWatcherTest : public ::testing::Test {
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

}  // namespace

TEST_F(CancelWatcherTest, DropsOtherRequestsAndSignalsOnCancel) {
  pipe_.FeedFrame(R"({"action":"actGetVersion"})");
  pipe_.FeedFrame("not json");
  pipe_.FeedFrame(R"({"action":"CANCEL"})");
  pipe_.FeedFrame(R"({"action":"actGetVersion"})");
  WatchForCancel(context_);
  ASSERT_EQ(platform_.signalled_events.size(), 1u);
  EXPECT_EQ(platform_.signalled_events[0], u"Local\\converter-cancel");
  EXPECT_TRUE(pipe_.Output().empty());
  // What follows the cancel stays for the main loop.
  EXPECT_EQ(pipe_.Unread(), 4u + 26u);
}

TEST_F(CancelWatcherTest, EmptyReadEmptiesTheNameWithoutSignalling) {
  pipe_.FeedFrame(R"({"action":"openPDF"})");
  WatchForCancel(context_);
  EXPECT_TRUE(platform_.signalled_events.empty());
  EXPECT_TRUE(context_.cancel_event_name.empty());
}

TEST_F(CancelWatcherTest, EmptyFrameEndsTheWatch) {
  pipe_.Feed(std::string(4, '\0'));
  pipe_.FeedFrame(R"({"action":"cancel"})");
  WatchForCancel(context_);
  EXPECT_TRUE(platform_.signalled_events.empty());
  EXPECT_TRUE(context_.cancel_event_name.empty());
}
