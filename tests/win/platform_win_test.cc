// The cancel watcher's thread over a pipe made by CreatePipe, as the
// browser's: its blocked read is cancelled, and no byte it took is lost.
#include "host/platform_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "host/cancel_watcher_win.h"
#include "host/host_session.h"
#include "host/std_input_win.h"
#include "tests/unit/scripted_channel.h"

namespace {

// The pipe, with a count of the bytes its reads took.
struct CountedPipe : InputSource {
  uint32_t Read(void* buffer, uint32_t count, bool* ended) override {
    uint32_t got = pipe.Read(buffer, count, ended);
    taken += got;
    return got;
  }
  HandleInputSource pipe{nullptr};
  std::atomic<size_t> taken{0};
};

class CancelWatcherThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreatePipe(&reader_end_, &writer_, nullptr, 1 << 16));
    source_.pipe = HandleInputSource(reader_end_);
    session_.channel = {&reader_, std::tmpfile()};
    context_.session = &session_;
    // One event name per process: CTest runs cases side by side.
    std::wstring name = L"Local\\vlx-watcher-test-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(context_.cancel_event_name.Assign(reinterpret_cast<const DWChar*>(name.c_str())));
    event_ = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_TRUE(event_);
  }
  void TearDown() override {
    CloseHandle(writer_);
    CloseHandle(reader_end_);
    CloseHandle(event_);
    std::fclose(session_.channel.output);
  }
  void Write(const std::string& bytes) {
    DWORD put = 0;
    ASSERT_TRUE(WriteFile(writer_, bytes.data(), DWORD(bytes.size()), &put, nullptr));
  }

  HANDLE reader_end_ = nullptr, writer_ = nullptr, event_ = nullptr;
  CountedPipe source_;
  InputReader reader_{source_};
  Win32Platform platform_;
  HostSession session_{{nullptr, nullptr}, &platform_, {}, {}};
  ConversionContext context_;
};

}  // namespace

TEST_F(CancelWatcherThreadTest, CancelSignalsAndStartsOnlyOnce) {
  ASSERT_TRUE(StartCancelWatcher(context_));
  void* first = context_.watcher_thread;
  ASSERT_TRUE(StartCancelWatcher(context_));
  EXPECT_EQ(context_.watcher_thread, first);
  Write(Frame(R"({"action":"cancel"})"));
  ASSERT_EQ(WaitForSingleObject(static_cast<HANDLE>(context_.watcher_thread), 10000),
            WAIT_OBJECT_0);
  StopCancelWatcher(context_);
  EXPECT_EQ(context_.watcher_thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(event_, 0), DWORD(WAIT_OBJECT_0));
}

// The conversion ends while the browser is halfway through a frame: the
// stop cancels the watcher's read, and the main loop gets the frame the
// watcher kept and then the cut one, whole.
TEST_F(CancelWatcherThreadTest, ReadCancelledInsideAFrameLosesNothing) {
  ASSERT_TRUE(StartCancelWatcher(context_));
  const std::string kept = Frame(R"({"action":"actGetVersion"})");
  const std::string next = Frame(R"({"action":"next"})");
  Write(kept + next.substr(0, 9));
  // The stop comes once the watcher has begun the cut frame (its length taken).
  for (int i = 0; i < 2000 && source_.taken < kept.size() + 4; ++i) Sleep(10);
  EXPECT_GE(source_.taken, kept.size() + 4);
  StopCancelWatcher(context_);  // returns only once the thread has ended
  EXPECT_EQ(WaitForSingleObject(event_, 0), DWORD(WAIT_TIMEOUT));
  EXPECT_TRUE(context_.cancel_event_name.empty());
  Write(next.substr(9));
  DString message;
  ASSERT_EQ(ReadMessage(session_.channel, &message), ReadOutcome::kBody);
  EXPECT_STREQ(message.c_str(), R"({"action":"actGetVersion"})");
  ASSERT_EQ(ReadMessage(session_.channel, &message), ReadOutcome::kBody);
  EXPECT_STREQ(message.c_str(), R"({"action":"next"})");
}
