#include "host/cancel_watcher.h"

#include <gtest/gtest.h>

#include "host/host_session.h"
#include "host/main_loop.h"
#include "scripted_channel.h"

namespace {

const std::string kVersion = Frame(R"({"action":"actGetVersion"})");
const std::string kCancel = Frame(R"({"action":"CANCEL"})");
// Three of these pass the kept frames' budget.
const std::string kLargeVersion = Frame(R"({"action":"actGetVersion","pad":")" +
                                        std::string(InputReader::kKeptBudget / 3, 'x') + "\"}");

}  // namespace

// Nothing the watcher reads is lost: what is not a "cancel" is answered by
// the main loop afterwards, in order; the "cancel" it acts on is not. The
// main loop's own replies (version, no action, empty frame) are checked here.
// The watcher's other outcomes are the host input fuzzer's (its model and the
// corpus's watcher-* seeds); the budget needs frames larger than it makes.
TEST(CancelWatcherTest, AFramePastTheKeptBudgetIsDroppedAndAnsweredInItsTurn) {
  ScriptedChannel pipe;
  HostSession session{pipe.channel(), &pipe, {}, {}};
  ConversionContext context;
  context.session = &session;
  ASSERT_TRUE(context.cancel_event_name.Assign(u"Local\\converter-cancel"));
  pipe.Feed(kLargeVersion + kLargeVersion + kLargeVersion + kVersion + kCancel);
  WatchForCancel(context);
  EXPECT_FALSE(context.cancel_event_name.empty());
  EXPECT_TRUE(pipe.Output().empty());
  EXPECT_EQ(ServeRequests(session), 0);
  EXPECT_EQ(pipe.OutputFrames(),
            (std::vector<std::string>{kVersionReply, kVersionReply, kUnknownReply, kVersionReply}));
  EXPECT_EQ(pipe.signalled_events.size(), 1u);
}
