// The cancel watcher's thread over a pipe made by CreatePipe, as the
// browser's: its blocked read is cancelled, and the channel stays usable.
#include "host/cancel_watcher_win.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/host_session.h"
#include "tests/unit/scripted_channel.h"

namespace {

class EventRecorder : public HostPlatform {
 public:
  bool PeekInput(uint32_t*) override { return false; }
  void RunCommandLine(const DWChar*, DWChar*) override {}
  void SignalNamedEvent(const DWChar* name) override { signalled.emplace_back(name); }
  std::vector<std::u16string> signalled;
};

class CancelWatcherThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HANDLE read = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &writer_, nullptr, 1 << 16));
    input_ = _fdopen(_open_osfhandle(intptr_t(read), _O_RDONLY | _O_BINARY), "rb");
    ASSERT_TRUE(input_);
    setvbuf(input_, nullptr, _IONBF, 0);
    session_.channel = {input_, std::tmpfile()};
    session_.platform = &platform_;
    context_.session = &session_;
    EXPECT_TRUE(context_.cancel_event_name.Assign(u"Local\\watcher-test"));
  }
  void TearDown() override {
    CloseHandle(writer_);
    std::fclose(input_);
    std::fclose(session_.channel.output);
  }
  void Write(const std::string& bytes) {
    DWORD put = 0;
    WriteFile(writer_, bytes.data(), DWORD(bytes.size()), &put, nullptr);
  }

  HANDLE writer_ = nullptr;
  FILE* input_ = nullptr;
  EventRecorder platform_;
  HostSession session_{{nullptr, nullptr}, nullptr, {}, {}};
  ConversionContext context_;
};

}  // namespace

TEST_F(CancelWatcherThreadTest, BlockedReadIsCancelledAndTheChannelReadsOn) {
  ASSERT_TRUE(StartCancelWatcher(context_));
  Write(Frame(R"({"action":"actGetVersion"})"));  // dropped by the watcher
  Sleep(200);
  StopCancelWatcher(context_);  // returns only once the thread has ended
  EXPECT_EQ(context_.watcher_thread, nullptr);
  EXPECT_TRUE(platform_.signalled.empty());
  EXPECT_TRUE(context_.cancel_event_name.empty());
  // The main loop's next read works on the same stream.
  Write(Frame("next"));
  DString message;
  ASSERT_EQ(ReadMessage(session_.channel, &message), ReadOutcome::kBody);
  EXPECT_STREQ(message.c_str(), "next");
}

TEST_F(CancelWatcherThreadTest, CancelSignalsAndStartsOnlyOnce) {
  ASSERT_TRUE(StartCancelWatcher(context_));
  void* first = context_.watcher_thread;
  ASSERT_TRUE(StartCancelWatcher(context_));
  EXPECT_EQ(context_.watcher_thread, first);
  Write(Frame(R"({"action":"cancel"})"));
  ASSERT_EQ(WaitForSingleObject(static_cast<HANDLE>(context_.watcher_thread), 10000),
            WAIT_OBJECT_0);
  StopCancelWatcher(context_);
  ASSERT_EQ(platform_.signalled.size(), 1u);
  EXPECT_EQ(platform_.signalled[0], u"Local\\watcher-test");
}
