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
TEST(CancelWatcherTest, KeepsWhatIsNotACancelForTheMainLoop) {
  const struct {
    const char* name;
    std::string input;
    bool signalled;
    // What the main loop answers after the watch: the kept frames, then the rest.
    std::vector<std::string> replies;
  } cases[] = {{"a cancel among others",
                kVersion + Frame("not json") + kCancel + kVersion,
                true,
                {kVersionReply, kUnknownReply, kVersionReply}},
               {"the input ends inside a frame",
                kVersion + kCancel.substr(0, 9),
                false,
                {kVersionReply, kUnknownReply}},
               {"an empty frame ends the watch",
                std::string(4, '\0') + kCancel,
                false,
                {kUnknownReply, Reply("0")}},
               {"a frame past the budget is dropped and answered in its turn",
                kLargeVersion + kLargeVersion + kLargeVersion + kVersion + kCancel,
                true,
                {kVersionReply, kVersionReply, kUnknownReply, kVersionReply}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedChannel pipe;
    HostSession session{pipe.channel(), &pipe, {}, {}};
    ConversionContext context;
    context.session = &session;
    ASSERT_TRUE(context.cancel_event_name.Assign(u"Local\\converter-cancel"));
    pipe.Feed(c.input);
    WatchForCancel(context);
    EXPECT_EQ(context.cancel_event_name.empty(), !c.signalled);
    EXPECT_TRUE(pipe.Output().empty());
    EXPECT_EQ(ServeRequests(session), 0);
    EXPECT_EQ(pipe.OutputFrames(), c.replies);
    // A "cancel" that the main loop reads, with no conversion running, signals nothing.
    EXPECT_EQ(pipe.signalled_events.size(), c.signalled ? 1u : 0u);
  }
}
