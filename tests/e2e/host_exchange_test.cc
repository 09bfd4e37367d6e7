// The real host program, started with Windows pipes as a browser starts it.
#include <gtest/gtest.h>

#include "tests/e2e/host_process.h"
#include "tests/unit/scripted_channel.h"

namespace {

const char kVersionRequest[] = R"({"action":"actGetVersion"})";

std::wstring HostExe() { return ProgramFolder() + L"VellumixBrowserHost.exe"; }

}  // namespace

TEST(HostExchangeTest, NothingWrittenExitsWithoutOutput) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe()));
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(host.output(), "");
}

TEST(HostExchangeTest, InputFromTheNulDeviceExitsAtOnce) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), "", /*stdin_from_null=*/true));
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(host.output(), "");
}

TEST(HostExchangeTest, RequestsWrittenBeforeTheStartAreAnsweredInOrder) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), Frame(kVersionRequest) + Frame(R"({"action":"x"})")));
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  std::vector<std::string> replies = SplitFrames(host.output());
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0], kVersionReply);
  EXPECT_EQ(replies[1], kUnknownReply);
  EXPECT_EQ(host.output().substr(0, 4), std::string("\x5c\0\0\0", 4));
}

TEST(HostExchangeTest, PipeClosedInsideALengthPrefixGetsOneUnknownReply) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), std::string("\x1a\0", 2)));
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  std::vector<std::string> replies = SplitFrames(host.output());
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0], kUnknownReply);
}

TEST(HostExchangeTest, BodyCutShortIsNeverParsed) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), std::string("\x40\0\0\0", 4) + kVersionRequest));
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  std::vector<std::string> replies = SplitFrames(host.output());
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0], kUnknownReply);
}

TEST(HostExchangeTest, ManyRequestsInOneBurstGetOneReplyEach) {
  std::string burst;
  const int kCount = 2000;
  for (int i = 0; i < kCount; ++i) burst += Frame(i % 2 ? kVersionRequest : "{}");
  // Binary bytes pass unchanged in both directions.
  burst += Frame("{\r\n\"action\":\"actGetVersion\",\"x\":\"\xff\x80\"}\r\n");
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), burst));
  ASSERT_TRUE(host.Finish(60000));
  std::vector<std::string> replies = SplitFrames(host.output());
  ASSERT_EQ(replies.size(), size_t(kCount + 1));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(replies[i], i % 2 ? kVersionReply : kUnknownReply);
  EXPECT_EQ(replies[kCount], kVersionReply);
}

TEST(HostExchangeTest, OversizedFrameDoesNotCrashTheHost) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), std::string("\xff\xff\xff\x7f", 4) + Frame(kVersionRequest)));
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  std::vector<std::string> replies = SplitFrames(host.output());
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0], kUnknownReply);
}
