// The real host program, started with Windows pipes as a browser starts it.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/host_process.h"
#include "tests/unit/scripted_channel.h"

namespace {

const char kVersionRequest[] = R"({"action":"actGetVersion"})";

std::wstring HostExe() { return ProgramFolder() + L"VellumixBrowserHost.exe"; }

}  // namespace

// Input that is not a pipe holds no request from a browser: the host exits
// at once and reads nothing of it.
class NotAPipeTest : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(NotAPipeTest, ExitsAtOnceWithoutOutput) {
  std::wstring input = GetParam();
  if (input == L"file") {
    input = ProgramFolder() + L"not-a-pipe-input.bin";
    ASSERT_TRUE(WriteWholeFile(input, Frame(kVersionRequest)));
  }
  if (input == L"CONIN$") {  // a console of this test's own, whatever it runs in
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
  }
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), "", input.c_str()));
  ASSERT_TRUE(host.Finish(10000));
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(host.output(), "");
  if (GetParam() == std::wstring(L"file")) DeleteFileW(input.c_str());
}
INSTANTIATE_TEST_SUITE_P(Inputs, NotAPipeTest, ::testing::Values(L"NUL", L"file", L"CONIN$"));

// The browser may write its first request after the host has started, and
// a large one in pieces: {delay before the first byte in ms, padding size}.
class FirstRequestTest : public ::testing::TestWithParam<std::pair<DWORD, size_t>> {};

TEST_P(FirstRequestTest, WrittenLateOrInPiecesIsServed) {
  const std::string frame =
      Frame(R"({"action":"actGetVersion","pad":")" + std::string(GetParam().second, 'p') + "\"}");
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe()));
  Sleep(GetParam().first);
  for (size_t at = 0; at < frame.size(); at += 65536) {
    host.Write(frame.substr(at, 65536));
    if (at % (1u << 20) == 0) Sleep(50);
  }
  // Served, the host ends by itself: it answers without waiting for the end.
  ASSERT_TRUE(host.Finish(60000));
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(SplitFrames(host.output()), std::vector<std::string>{kVersionReply});
}
INSTANTIATE_TEST_SUITE_P(Writes, FirstRequestTest,
                         ::testing::Values(std::make_pair(DWORD(3000), size_t(0)),
                                           std::make_pair(DWORD(0), size_t(16) << 20)));

// A length prefix that lies costs memory only for the bytes that came.
TEST(HostExchangeTest, LyingLengthIsAnsweredWithoutReservingIt) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), std::string("\xfe\xff\xff\x7f", 4) + "{\"action\":"));
  Sleep(1000);  // the host waits for the rest of the body
  SIZE_T waiting = host.PeakWorkingSet();
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(SplitFrames(host.output()), std::vector<std::string>{kUnknownReply});
  EXPECT_GT(waiting, 0u);
  EXPECT_LE(std::max(waiting, host.PeakWorkingSet()), SIZE_T(64) << 20);
}

// The input closed after nothing (no reply), a prefix cut short, a body cut
// short, a body too long to hold (read and dropped, so the request behind it
// is its tail): one unknown reply for each but the first.
class ClosedInputTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ClosedInputTest, GetsOneUnknownReplyForWhatCame) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), GetParam()));
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(SplitFrames(host.output()),
            std::vector<std::string>(GetParam().empty() ? 0 : 1, kUnknownReply));
}
INSTANTIATE_TEST_SUITE_P(Inputs, ClosedInputTest,
                         ::testing::Values("", std::string("\x1a\0", 2),
                                           std::string("\x40\0\0\0", 4) + kVersionRequest,
                                           "\xff\xff\xff\x7f" + Frame(kVersionRequest)));

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
