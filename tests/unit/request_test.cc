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

TEST(ParseRequestTest, EveryNameHasItsNumber) {
  EXPECT_EQ(ActionOf(R"({"action":"MHTMLoPDF"})"), kActionMhtmlToPdf);
  EXPECT_EQ(ActionOf(R"({"action":"preferences"})"), kActionPreferences);
  EXPECT_EQ(ActionOf(R"({"action":"openPDF"})"), kActionOpenPdf);
  EXPECT_EQ(ActionOf(R"({"action":"HTMLoPDF"})"), kActionHtmlToPdf);
  EXPECT_EQ(ActionOf(R"({"action":"openByURL"})"), kActionOpenByUrl);
  EXPECT_EQ(ActionOf(R"({"action":"cancel"})"), kActionCancel);
  EXPECT_EQ(ActionOf(R"({"action":"openLocalPDF"})"), kActionOpenLocalPdf);
  EXPECT_EQ(ActionOf(R"({"action":"actGetVersion"})"), kActionGetVersion);
}

TEST(ParseRequestTest, NamesMatchWithoutRegardToAsciiCaseOnly) {
  EXPECT_EQ(ActionOf(R"({"action":"ACTGETVERSION"})"), kActionGetVersion);
  EXPECT_EQ(ActionOf(R"({"action":"mhtmlopdf"})"), kActionMhtmlToPdf);
  EXPECT_EQ(ActionOf(R"({"action":"actGetVersion "})"), kActionNone);
  EXPECT_EQ(ActionOf(R"({"action":"actGetVersio"})"), kActionNone);
  EXPECT_EQ(ActionOf(R"({"action":""})"), kActionNone);
  // '@' and '[' sit next to the letters but are not folded.
  EXPECT_EQ(ActionOf(R"({"action":"c@ncel"})"), kActionNone);
  // A byte of 0x80 or above never matches an ASCII name.
  EXPECT_EQ(ActionOf("{\"action\":\"canc\xc3\xa9l\"}"), kActionNone);
  EXPECT_EQ(ActionOf("{\"action\":\"cancel\xc3\xa9\"}"), kActionNone);
  EXPECT_EQ(ActionOf("{\"action\":\"cance\xc4\xbe\"}"), kActionNone);
}

TEST(ParseRequestTest, NameEndsAtAnEscapedNul) {
  EXPECT_EQ(ActionOf(R"({"action":"cancel\u0000 and more"})"), kActionCancel);
  EXPECT_EQ(ActionOf(R"({"action":"\u0000cancel"})"), kActionNone);
}

TEST(ParseRequestTest, MemberNameIsExactAndTheFirstOfTwoDecides) {
  EXPECT_EQ(ActionOf(R"({"Action":"actGetVersion"})"), kActionNone);
  EXPECT_EQ(ActionOf(R"({"action":"cancel","action":"openPDF"})"), kActionCancel);
  EXPECT_EQ(ActionOf(R"({"action":1,"action":"openPDF"})"), kActionNone);
  EXPECT_EQ(ActionOf(R"({"x":{"action":"cancel"}})"), kActionNone);
}

TEST(ParseRequestTest, AnythingButAnObjectWithAStringActionHasNone) {
  EXPECT_EQ(ActionOf(R"({"action":7})"), kActionNone);
  EXPECT_EQ(ActionOf(R"({"action":null})"), kActionNone);
  EXPECT_EQ(ActionOf(R"(["actGetVersion"])"), kActionNone);
  EXPECT_EQ(ActionOf(R"("actGetVersion")"), kActionNone);
  EXPECT_EQ(ActionOf(""), kActionNone);
  EXPECT_EQ(ActionOf("    "), kActionNone);
  EXPECT_EQ(ActionOf("{}"), kActionNone);
  EXPECT_EQ(ActionOf("not json"), kActionNone);
  EXPECT_EQ(ActionOf(R"({'action':'cancel'})"), kActionNone);
  EXPECT_EQ(ActionOf(R"({"action":"cancel",})"), kActionNone);
}

TEST(ParseRequestTest, OnlyWhitespaceMayFollowTheRoot) {
  EXPECT_EQ(ActionOf(R"({"action":"cancel"}x)"), kActionNone);
  EXPECT_EQ(ActionOf(R"({"action":"cancel"}{})"), kActionNone);
  EXPECT_EQ(ActionOf(" \t\r\n{\"action\":\"cancel\"} \t\r\n"), kActionCancel);
}

TEST(ParseRequestTest, DeepNestingNeitherOverflowsNorMatches) {
  EXPECT_EQ(ActionOf(std::string(1000000, '[')), kActionNone);
  std::string deep = "{\"a\":" + std::string(200000, '[') + std::string(200000, ']') +
                     ",\"action\":\"cancel\"}";
  EXPECT_EQ(ActionOf(deep), kActionCancel);
  std::string objects;
  for (int i = 0; i < 200000; ++i) objects += "{\"a\":";
  EXPECT_EQ(ActionOf(objects), kActionNone);
}
