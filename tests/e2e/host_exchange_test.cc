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
  TempDir folder;
  std::wstring input = GetParam();
  if (input == L"file") {
    input = folder.path + L"input.bin";
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
}
INSTANTIATE_TEST_SUITE_P(Inputs, NotAPipeTest, ::testing::Values(L"NUL", L"file", L"CONIN$"));

// The browser may write its first request after the host has started, a
// large one in pieces, or go away without one: {time in ms during which the
// host waits, padding size; SIZE_MAX: the input is closed instead}. The
// waits are generous for a loaded machine; a host still starting when the
// input closes would end the same way.
class FirstRequestTest : public ::testing::TestWithParam<std::pair<DWORD, size_t>> {};

TEST_P(FirstRequestTest, WrittenLateOrInPiecesIsServed) {
  const auto [wait, padding] = GetParam();
  const std::string frame = Frame(R"({"action":"actGetVersion","pad":")" +
                                  std::string(padding == SIZE_MAX ? 0 : padding, 'p') + "\"}");
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe()));
  EXPECT_FALSE(host.Finish(wait));  // still waiting for the first request
  if (padding == SIZE_MAX) host.CloseInput();
  for (size_t at = 0; padding != SIZE_MAX && at < frame.size(); at += 65536) {
    host.Write(frame.substr(at, 65536));
    if (at % (1u << 20) == 0) Sleep(50);
  }
  // Served, the host ends by itself: it answers without waiting for the end.
  ASSERT_TRUE(host.Finish(60000));
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(SplitFrames(host.output()),
            std::vector<std::string>(padding == SIZE_MAX ? 0 : 1, kVersionReply));
}
INSTANTIATE_TEST_SUITE_P(Writes, FirstRequestTest,
                         ::testing::Values(std::make_pair(DWORD(3000), size_t(0)),
                                           std::make_pair(DWORD(0), size_t(16) << 20),
                                           std::make_pair(DWORD(2000), SIZE_MAX)));

// A length prefix that lies costs memory only for the bytes that came: the
// host holds 8 MiB of a body that claims 2 GiB. The write returns once the
// host has taken all but what the pipe holds (4 MiB).
TEST(HostExchangeTest, LyingLengthCommitsOnlyWhatCame) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe()));
  const SIZE_T at_start = host.PeakCommit();
  host.Write(std::string("\xfe\xff\xff\x7f", 4) + std::string(8 << 20, ' '));
  const SIZE_T holding = host.PeakCommit();
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(SplitFrames(host.output()), std::vector<std::string>{kUnknownReply});
  EXPECT_GE(holding, at_start + (SIZE_T(4) << 20));
  EXPECT_LE(holding, at_start + (SIZE_T(64) << 20));
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

// The browser's arguments (here Chrome's) are ignored; nothing goes to
// standard error.
TEST(HostExchangeTest, ManyRequestsInOneBurstGetOneReplyEach) {
  std::string burst;
  const int kCount = 2000;
  for (int i = 0; i < kCount; ++i) burst += Frame(i % 2 ? kVersionRequest : "{}");
  // Binary bytes pass unchanged in both directions.
  burst += Frame("{\r\n\"action\":\"actGetVersion\",\"x\":\"\xff\x80\"}\r\n");
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), burst, nullptr, L"chrome-extension://abc/ --parent-window=0"));
  ASSERT_TRUE(host.Finish(60000));
  EXPECT_EQ(host.errors(), "");
  std::vector<std::string> replies = SplitFrames(host.output());
  ASSERT_EQ(replies.size(), size_t(kCount + 1));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(replies[i], i % 2 ? kVersionReply : kUnknownReply);
  EXPECT_EQ(replies[kCount], kVersionReply);
}
