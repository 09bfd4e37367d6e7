#include "host/reply.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

// Unpaired surrogates become U+FFFD; the answer ends at its first NUL. The
// frame around the reply is checked with the main loop's replies.
TEST(ReplyTest, StateKeepsItsSignAndTheAnswerIsEscapedUtf8) {
  const struct {
    int32_t state;
    std::u16string answer;
    std::string escaped;
  } cases[] = {{0, u"", ""},
               {-1, u"", ""},
               {INT32_MIN, u"", ""},
               {0, u"11.1.1.0", "11.1.1.0"},
               {0, u"a\"b\\c", "a\\\"b\\\\c"},
               {0, u"\u0001\u001f\b\t\n\f\r", "\\u0001\\u001F\\b\\t\\n\\f\\r"},
               {0, u"/\u007f\u00e9", "/\x7f\xc3\xa9"},
               {0, u"\U0001F600", "\xf0\x9f\x98\x80"},
               {0, u"a\xD83Dz", "a\xef\xbf\xbdz"},
               {0, u"\xDE00", "\xef\xbf\xbd"},
               {0, u"ab\0cd"s, "ab"}};
  for (const auto& c : cases) {
    DWString answer;
    ASSERT_TRUE(answer.Assign(c.answer.data(), uint32_t(c.answer.size())));
    DString reply;
    ASSERT_TRUE(ComposeReply(c.state, answer, &reply));
    EXPECT_EQ(std::string(reply.c_str(), reply.length()),
              "{\n    \"action\": \"responceDone\",\n    \"version\": 3,\n    \"state\": " +
                  std::to_string(c.state) + ",\n    \"answer\": \"" + c.escaped + "\"\n}");
  }
}
