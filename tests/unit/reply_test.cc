#include "host/reply.h"

#include <gtest/gtest.h>

#include "scripted_channel.h"

namespace {

std::string Reply(int32_t state, const std::u16string& answer) {
  DWString text;
  EXPECT_TRUE(text.Assign(answer.data(), uint32_t(answer.size())));
  DString reply;
  EXPECT_TRUE(ComposeReply(state, text, &reply));
  return std::string(reply.c_str(), reply.length());
}

std::string Envelope(const std::string& state, const std::string& answer) {
  return "{\n    \"action\": \"responceDone\",\n    \"version\": 3,\n    \"state\": " + state +
         ",\n    \"answer\": \"" + answer + "\"\n}";
}

}  // namespace

TEST(ReplyTest, AStateZeroReplyIsOneFrameOf84Bytes) {
  ScriptedChannel pipe;
  WriteReply(pipe.channel(), 0, DWString());
  std::string bytes = pipe.Output();
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x54\0\0\0", 4));
  EXPECT_EQ(bytes.substr(4), Envelope("0", ""));
  EXPECT_EQ(bytes.size(), 4u + 84u);
}

TEST(ReplyTest, StatesKeepTheirSign) {
  for (int32_t state : {65280, -1, INT32_MIN, INT32_MAX})
    EXPECT_EQ(Reply(state, u""), Envelope(std::to_string(state), ""));
  EXPECT_EQ(Reply(0, u"11.1.1.0"), Envelope("0", "11.1.1.0"));
}

TEST(ReplyTest, AnswerIsEscapedAndTranscoded) {
  EXPECT_EQ(Reply(0, u"a\"b\\c"), Envelope("0", "a\\\"b\\\\c"));
  EXPECT_EQ(Reply(0, u"\u0001\u001f\b\t\n\f\r"), Envelope("0", "\\u0001\\u001F\\b\\t\\n\\f\\r"));
  EXPECT_EQ(Reply(0, u"/\u007f\u00e9"), Envelope("0", "/\x7f\xc3\xa9"));
  EXPECT_EQ(Reply(0, u"\U0001F600"), Envelope("0", "\xf0\x9f\x98\x80"));
}

TEST(ReplyTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  std::u16string lone_high = u"a";
  lone_high += char16_t(0xD83D);
  lone_high += u"b";
  EXPECT_EQ(Reply(0, lone_high), Envelope("0", "a\xef\xbf\xbd" "b"));
  std::u16string lone_low(1, char16_t(0xDE00));
  EXPECT_EQ(Reply(0, lone_low), Envelope("0", "\xef\xbf\xbd"));
}

TEST(ReplyTest, AnswerEndsAtItsFirstNul) {
  std::u16string answer = u"ab";
  answer += char16_t(0);
  answer += u"cd";
  EXPECT_EQ(Reply(0, answer), Envelope("0", "ab"));
}
