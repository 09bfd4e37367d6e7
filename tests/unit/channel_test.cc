#include "host/channel.h"

#include <gtest/gtest.h>

#include "scripted_channel.h"

namespace {

struct Read {
  ReadOutcome outcome;
  std::string body;
  uint32_t length;
};

Read ReadOne(ScriptedChannel& pipe) {
  DString message;
  ReadOutcome outcome = ReadMessage(pipe.channel(), &message);
  return {outcome, std::string(message.c_str(), message.length()), message.length()};
}

}  // namespace

TEST(ReadMessageTest, ReadsWholeBodiesInTurnAndKeepsBinaryBytes) {
  ScriptedChannel pipe;
  std::string binary("a\r\n\x1a\xff", 5);
  binary.push_back('\0');
  binary += "z";
  pipe.FeedFrame("{}");
  pipe.FeedFrame(binary);
  Read first = ReadOne(pipe);
  EXPECT_EQ(first.outcome, ReadOutcome::kBody);
  EXPECT_EQ(first.body, "{}");
  Read second = ReadOne(pipe);
  EXPECT_EQ(second.outcome, ReadOutcome::kBody);
  EXPECT_EQ(second.body, binary);
  EXPECT_EQ(ReadOne(pipe).outcome, ReadOutcome::kEnded);
}

TEST(ReadMessageTest, BufferIsRoundedAndNulTerminated) {
  ScriptedChannel pipe;
  pipe.FeedFrame(std::string(31, 'x'));
  pipe.FeedFrame(std::string(32, 'y'));
  DString message;
  ASSERT_EQ(ReadMessage(pipe.channel(), &message), ReadOutcome::kBody);
  EXPECT_EQ(message.capacity(), 31u);
  EXPECT_EQ(message.c_str()[31], '\0');
  ASSERT_EQ(ReadMessage(pipe.channel(), &message), ReadOutcome::kBody);
  EXPECT_EQ(message.capacity(), 63u);
  EXPECT_EQ(message.c_str()[32], '\0');
}

TEST(ReadMessageTest, ZeroAndNegativeLengthsReadNoBody) {
  ScriptedChannel pipe;
  pipe.Feed(std::string("\0\0\0\0", 4));
  pipe.Feed("\xff\xff\xff\xff");  // -1
  pipe.Feed(std::string("\0\0\0\x80", 4));  // INT32_MIN
  pipe.FeedFrame("{}");
  for (int i = 0; i < 3; ++i) {
    Read r = ReadOne(pipe);
    EXPECT_EQ(r.outcome, ReadOutcome::kEmptyFrame);
    EXPECT_EQ(r.length, 0u);
  }
  // The bytes after an empty frame are the next frame's prefix.
  EXPECT_EQ(ReadOne(pipe).body, "{}");
}

TEST(ReadMessageTest, ShortPrefixAndShortBodyEndTheInputWithAnEmptyMessage) {
  ScriptedChannel pipe;
  pipe.Feed(std::string("\x02\0", 2));
  EXPECT_EQ(ReadOne(pipe).outcome, ReadOutcome::kEnded);

  ScriptedChannel cut;
  cut.Feed(std::string("\x10\0\0\0{\"action\"", 14));
  Read r = ReadOne(cut);
  EXPECT_EQ(r.outcome, ReadOutcome::kEnded);
  EXPECT_EQ(r.length, 0u);
  EXPECT_EQ(r.body, "");
}

TEST(ReadMessageTest, OversizedBodyIsDroppedWithoutTouchingMemory) {
  ScriptedChannel pipe;
  // 0x7FFFFFFF bytes cannot be held by a string: the body is consumed and
  // dropped, and here the input ends before it is whole.
  pipe.Feed("\xff\xff\xff\x7f");
  pipe.FeedFrame("{}");
  EXPECT_EQ(ReadOne(pipe).outcome, ReadOutcome::kEnded);
}

TEST(WriteMessageTest, FramesTheTextBeforeItsFirstNul) {
  ScriptedChannel pipe;
  WriteMessage(pipe.channel(), "{\"a\":1}");
  WriteMessage(pipe.channel(), nullptr);
  WriteMessage(pipe.channel(), "");
  EXPECT_EQ(pipe.Output(), std::string("\x07\0\0\0{\"a\":1}", 11) + std::string(8, '\0'));
}
