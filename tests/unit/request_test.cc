#include "host/request.h"

#include <gtest/gtest.h>

#include <string>

#include "host/json_limits.h"

namespace {

// The parse in place, and the reading that leaves the text as it is (the
// cancel watcher's), find the same action.
ActionId ActionOf(const std::string& text) {
  std::string copy = text;
  ParsedRequest request;
  ParseRequest(&copy[0], &request);
  EXPECT_EQ(FindRequestAction(text.c_str()), request.action) << text;
  return request.action;
}

// The root object holds "action" first, then "a" with this value.
std::string WithValue(const std::string& value) {
  return R"({"action":"cancel","a":)" + value + "}";
}
std::string Nested(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }
std::string Zeros(size_t count) {
  std::string list = "[0";
  for (size_t i = 1; i < count; ++i) list += ",0";
  return list + "]";
}

}  // namespace

// Each name's own number is checked by the handlers' tests, which reach every
// action by its name.
TEST(ParseRequestTest, ActionOfEachText) {
  const struct {
    const char* text;
    ActionId action;
  } cases[] = {
      // ASCII letters match without regard to case; nothing else is folded.
      {R"({"action":"ACTGETVERSION"})", kActionGetVersion},
      {R"({"action":"mhtmlopdf"})", kActionMhtmlToPdf},
      {R"({"action":"actGetVersion "})", kActionNone},
      {R"({"action":"actGetVersio"})", kActionNone},
      {R"({"action":""})", kActionNone},
      {R"({"action":"c@ncel"})", kActionNone},
      {"{\"action\":\"canc\xc3\xa9l\"}", kActionNone},
      {"{\"action\":\"cance\xc4\xbe\"}", kActionNone},
      // The name ends at an escaped NUL.
      {R"({"action":"cancel\u0000 and more"})", kActionCancel},
      {R"({"action":"\u0000cancel"})", kActionNone},
      // Escapes count as what they decode to, in names and in values.
      {R"({"act\u0069on":"c\u0061ncel"})", kActionCancel},
      {R"({"action\u0000":"cancel"})", kActionNone},
      {R"({"action":"actGetVersion\u0000 and a long tail"})", kActionGetVersion},
      {R"({"action":"actGetVersionactGetVersion"})", kActionNone},
      // The member name is exact, and the first of two decides.
      {R"({"Action":"actGetVersion"})", kActionNone},
      {R"({"action":"cancel","action":"openPDF"})", kActionCancel},
      {R"({"action":1,"action":"openPDF"})", kActionNone},
      {R"({"x":{"action":"cancel"}})", kActionNone},
      // Only an object with a string "action", and only whitespace around it.
      {R"({"action":7})", kActionNone},
      {R"(["actGetVersion"])", kActionNone},
      {"", kActionNone},
      {R"({"action":"cancel",})", kActionNone},
      {R"({"action":"cancel"}x)", kActionNone},
      {R"({"action":"cancel"}{})", kActionNone},
      {" \t\r\n{\"action\":\"cancel\"} \t\r\n", kActionCancel},
  };
  for (const auto& c : cases) EXPECT_EQ(ActionOf(c.text), c.action) << c.text;
}

// Within the limits a request parses; one level or one value more and it
// does not, however the text goes on. Around the list the root and its
// members take one level and four values (the list's own is the fifth).
TEST(ParseRequestTest, NestingAndValuesStopAtTheirLimits) {
  EXPECT_EQ(ActionOf(WithValue(Nested(kJsonMaxDepth - 1))), kActionCancel);
  EXPECT_EQ(ActionOf(WithValue(Nested(kJsonMaxDepth))), kActionNone);
  EXPECT_EQ(ActionOf(WithValue(Zeros(kJsonMaxValues - 5))), kActionCancel);
  EXPECT_EQ(ActionOf(WithValue(Zeros(kJsonMaxValues - 4))), kActionNone);
  EXPECT_EQ(ActionOf(std::string(1000000, '[')), kActionNone);
  std::string objects;
  for (int i = 0; i < 200000; ++i) objects += "{\"a\":";
  EXPECT_EQ(ActionOf(objects), kActionNone);
}
