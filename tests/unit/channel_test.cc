#include "host/channel.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "host/main_loop.h"
#include "scripted_channel.h"

namespace {

// The outcome, and the body read.
std::pair<ReadOutcome, std::string> ReadOne(ScriptedChannel& pipe) {
  DString message;
  ReadOutcome outcome = ReadMessage(pipe.channel(), &message);
  return {outcome, std::string(message.c_str(), message.length())};
}

class ReaderHandoffTest : public ::testing::TestWithParam<uint32_t> {};

}  // namespace

// A frame that the watcher's read stopped inside, at any offset (prefix
// included, and across the body's growth steps), is completed by the main
// loop's read, byte for byte (all 256 byte values), and the next follows.
// Each read starts in the buffer of the message before it, smaller or larger.
TEST_P(ReaderHandoffTest, FrameStoppedAtAnyOffsetIsCompletedExactly) {
  std::string body(GetParam(), 'b');
  for (size_t i = 0; i < body.size(); i += 7) body[i] = char(i * 31);
  const std::string frame = Frame(body);
  const size_t stride = frame.size() < 1000 ? 1 : 4099;
  std::vector<size_t> offsets = {0, 1, 3, 4, 5, frame.size() - 1};
  for (size_t at = 0; at < frame.size(); at += stride) offsets.push_back(at);
  for (size_t step : {65536u, 65568u, 131136u}) offsets.push_back(4 + step);
  for (size_t at : offsets) {
    if (at >= frame.size()) continue;
    ScriptedChannel pipe;
    pipe.Feed(frame + Frame("{}"));
    pipe.stop_at = at;
    InputReader& reader = *pipe.channel().input;
    DString message;
    ASSERT_TRUE(message.Assign("lent"));
    ASSERT_EQ(reader.ReadFromInput(&message), ReadOutcome::kStopped) << at;
    EXPECT_EQ(reader.HasFramesWaiting(), at > 0) << at;
    ASSERT_TRUE(message.Assign("the request served meanwhile"));
    ASSERT_EQ(reader.ReadMessage(&message), ReadOutcome::kBody) << at;
    ASSERT_EQ(std::string(message.c_str(), message.length()), body) << at;
    ASSERT_EQ(reader.ReadMessage(&message), ReadOutcome::kBody) << at;
    EXPECT_STREQ(message.c_str(), "{}");
    EXPECT_EQ(reader.ReadMessage(&message), ReadOutcome::kEnded);
  }
}
INSTANTIATE_TEST_SUITE_P(Sizes, ReaderHandoffTest, ::testing::Values(1u, 40u, 200005u));

TEST(ReadMessageTest, ZeroAndNegativeLengthsReadNoBody) {
  ScriptedChannel pipe;
  pipe.Feed(std::string("\0\0\0\0", 4));
  pipe.Feed("\xff\xff\xff\xff");            // -1
  pipe.Feed(std::string("\0\0\0\x80", 4));  // INT32_MIN
  pipe.FeedFrame("{}");
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(ReadOne(pipe), std::make_pair(ReadOutcome::kEmptyFrame, std::string()));
  // The bytes after an empty frame are the next frame's prefix.
  EXPECT_EQ(ReadOne(pipe).second, "{}");
}

// A short prefix or a short body ends the input with an empty message. A body
// of 0x7FFFFFFF bytes, which no string can hold, is consumed and dropped
// without touching memory: here the input ends before it is whole.
TEST(ReadMessageTest, InputThatEndsInsideAFrameEndsWithAnEmptyMessage) {
  for (const std::string& input : {std::string("\x02\0", 2), std::string("\x10\0\0\0{\"act", 9),
                                   "\xff\xff\xff\x7f" + Frame("{}")}) {
    ScriptedChannel pipe;
    pipe.Feed(input);
    EXPECT_EQ(ReadOne(pipe), std::make_pair(ReadOutcome::kEnded, std::string()));
  }
}

// A length that lies gets room only for the bytes that came: each read of
// the body asks for no more than the room it has, and the room grows with
// what arrived, at most to twice as much.
TEST(ReadMessageTest, ALyingLengthGetsRoomOnlyForTheBytesThatCame) {
  ScriptedChannel pipe;
  pipe.Feed("\xfe\xff\xff\x7f" + std::string(100000, '{'));
  EXPECT_EQ(ReadOne(pipe), std::make_pair(ReadOutcome::kEnded, std::string()));
  EXPECT_LE(pipe.largest_read, 2 * 100000u);
}

// A body that no string can hold is read to its end and dropped: the main
// loop answers it as no request and serves the next one.
TEST(ReadMessageTest, ABodyTooLargeToHoldIsDroppedAndTheNextIsServed) {
  ScriptedChannel pipe;
  pipe.FeedOversizedFrame();
  pipe.FeedFrame(R"({"action":"actGetVersion"})");
  HostSession session{pipe.channel(), &pipe, {}, {}};
  EXPECT_EQ(ServeRequests(session), 0);
  EXPECT_EQ(pipe.OutputFrames(), (std::vector<std::string>{kUnknownReply, kVersionReply}));
}

TEST(WriteMessageTest, FramesTheTextBeforeItsFirstNul) {
  ScriptedChannel pipe;
  WriteMessage(pipe.channel(), "{\"a\":1}");
  WriteMessage(pipe.channel(), nullptr);
  WriteMessage(pipe.channel(), "");
  EXPECT_EQ(pipe.Output(), std::string("\x07\0\0\0{\"a\":1}", 11) + std::string(8, '\0'));
}
