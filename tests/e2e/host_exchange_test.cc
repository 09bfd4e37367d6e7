// The real host program, started with Windows pipes as a browser starts it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/e2e/host_process.h"
#include "tests/unit/scripted_channel.h"

namespace {

const char kVersionRequest[] = R"({"action":"actGetVersion"})";

std::wstring HostExe() { return ProgramFolder() + L"VellumixBrowserHost.exe"; }

// A version request padded to size bytes (at least its own).
std::string PaddedVersionRequest(size_t size) {
  std::string body = R"({"action":"actGetVersion","pad":")";
  return body + std::string(size > body.size() + 2 ? size - body.size() - 2 : 0, 'p') + "\"}";
}

}  // namespace

TEST(HostExchangeTest, NothingWrittenAndThePipeClosedExitsWithoutOutput) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe()));
  Sleep(2000);
  EXPECT_TRUE(host.Running());  // waiting for its first request
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(host.output(), "");
}

// Input that is not a pipe holds no request from a browser: the host exits
// at once and reads nothing of it.
class NotAPipeTest : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(NotAPipeTest, ExitsAtOnceWithoutOutput) {
  std::wstring input = GetParam();
  if (input == L"file") {
    input = ProgramFolder() + L"not-a-pipe-input.bin";
    HANDLE file = CreateFileW(input.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string request = Frame(kVersionRequest);
    DWORD put = 0;
    WriteFile(file, request.data(), DWORD(request.size()), &put, nullptr);
    CloseHandle(file);
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
// a large one in pieces: {delay before the first byte in ms, frame size}.
class FirstRequestTest : public ::testing::TestWithParam<std::pair<DWORD, size_t>> {};

TEST_P(FirstRequestTest, WrittenLateOrInPiecesIsServed) {
  const std::string frame = Frame(PaddedVersionRequest(GetParam().second));
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe()));
  Sleep(GetParam().first);
  for (size_t at = 0; at < frame.size(); at += 65536) {
    host.Write(frame.substr(at, 65536));
    if (at % (1u << 20) == 0) Sleep(50);
  }
  ASSERT_TRUE(host.WaitForFrames(1, 60000));
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(SplitFrames(host.output()), std::vector<std::string>{kVersionReply});
}
INSTANTIATE_TEST_SUITE_P(Writes, FirstRequestTest,
                         ::testing::Values(std::make_pair(DWORD(1000), size_t(0)),
                                           std::make_pair(DWORD(3000), size_t(0)),
                                           std::make_pair(DWORD(0), size_t(16) << 20)));

// A length prefix that lies costs memory only for the bytes that came.
TEST(HostExchangeTest, LyingLengthIsAnsweredWithoutReservingIt) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), std::string("\xfe\xff\xff\x7f", 4) + "{\"action\":"));
  Sleep(1000);  // the host waits for the rest of the body
  SIZE_T waiting = host.PeakWorkingSet();
  std::printf("peak working set while the body is awaited: %.1f MiB\n", double(waiting) / (1 << 20));
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(SplitFrames(host.output()), std::vector<std::string>{kUnknownReply});
  SIZE_T peak = std::max(waiting, host.PeakWorkingSet());
  std::printf("peak working set: %.1f MiB\n", double(peak) / (1 << 20));
  EXPECT_GT(waiting, 0u);
  EXPECT_LE(peak, SIZE_T(64) << 20);
}

// A prefix cut short, a body cut short, a body too long to hold (read and
// dropped, so the request behind it is its tail): one unknown reply each.
class CutFrameTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CutFrameTest, GetsOneUnknownReply) {
  HostProcess host;
  ASSERT_TRUE(host.Start(HostExe(), GetParam()));
  host.CloseInput();
  ASSERT_TRUE(host.Finish());
  EXPECT_EQ(host.exit_code(), 0u);
  EXPECT_EQ(SplitFrames(host.output()), std::vector<std::string>{kUnknownReply});
}
INSTANTIATE_TEST_SUITE_P(Inputs, CutFrameTest,
                         ::testing::Values(std::string("\x1a\0", 2),
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
