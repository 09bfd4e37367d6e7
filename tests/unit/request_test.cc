#include "host/request.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ActionId ActionOf(const std::string& text) {
  ParsedRequest request;
  ParseRequest(text.c_str(), &request);
  return request.action;
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

TEST(ParseRequestTest, DeepNestingNeitherOverflowsNorMatches) {
  EXPECT_EQ(ActionOf(std::string(1000000, '[')), kActionNone);
  std::string deep =
      "{\"a\":" + std::string(200000, '[') + std::string(200000, ']') + ",\"action\":\"cancel\"}";
  EXPECT_EQ(ActionOf(deep), kActionCancel);
  std::string objects;
  for (int i = 0; i < 200000; ++i) objects += "{\"a\":";
  EXPECT_EQ(ActionOf(objects), kActionNone);
}
