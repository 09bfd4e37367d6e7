// Every request road, whole, when memory runs out: at each allocation in
// turn, and under an address-space limit. The host must not write through a
// failed allocation (AddressSanitizer), leak (LeakSanitizer), leave a
// temporary file, or fall out of step with the browser.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "actions/chunked_transfer.h"
#include "failing_dmem.h"
#include "fake_host.h"
#include "host/main_loop.h"
#include "scripted_channel.h"

// Under a limit malloc must say no rather than stop the program, and freed
// memory must not be held back.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the sanitizer's hook
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:quarantine_size_mb=0";
}

namespace {

// Titles, urls and paths are escaped unit by unit into strings that grow by
// 32 units: a large one is slow under AddressSanitizer, so the large field of
// those roads is one the handler skips.
struct Road {
  const char* name;
  std::string (*input)(size_t size);  // the road's frames, one field of this size
  size_t requests;
};

std::string Pad(size_t size) { return std::string(size, 'a'); }

const Road kRoads[] = {
    {"actGetVersion",
     [](size_t n) { return Frame(R"({"action":"actGetVersion","x":")" + Pad(n) + "\"}"); }, 1},
    {"cancel", [](size_t n) { return Frame(R"({"action":"cancel","x":")" + Pad(n) + "\"}"); }, 1},
    {"preferences",
     [](size_t n) { return Frame(R"({"action":"preferences","x":")" + Pad(n) + "\"}"); }, 1},
    {"no action", [](size_t n) { return Frame(R"({"x":")" + Pad(n) + "\"}"); }, 1},
    {"nested past the limit", [](size_t n) { return Frame(std::string(n, '[')); }, 1},
    {"openPDF in two pieces",
     [](size_t n) {
       return Frame(R"({"action":"openPDF","title":"t","url":"u","x":")" + Pad(n) +
                    R"(","data":"data:;base64,QUJD","dataRest":1})") +
              Frame(R"({"action":"openPDF","data":")" + std::string(n / 4 * 4, 'Q') + "\"}");
     },
     1},
    {"openByURL",
     [](size_t n) {
       return Frame(R"({"action":"openByURL","URL":"https://h/","x":")" + Pad(n) + "\"}");
     },
     1},
    {"openLocalPDF",
     [](size_t n) {
       return Frame(R"({"action":"openLocalPDF","localPath":"C:/a.pdf","x":")" + Pad(n) + "\"}");
     },
     1},
    {"HTMLoPDF",
     [](size_t n) {
       return Frame(R"({"action":"HTMLoPDF","title":"t","htmlText":")" + Pad(n) + "\"}");
     },
     1},
    {"MHTMLoPDF",
     [](size_t n) { return Frame(R"({"action":"MHTMLoPDF","mhtmlText":")" + Pad(n) + "\"}"); }, 1},
    {"MHTMLoPDF in two pieces",
     [](size_t n) {
       return Frame(R"({"action":"MHTMLoPDF","version":2,"data":")" + Pad(n) +
                    R"(","dataRest":1})") +
              Frame(R"({"action":"MHTMLoPDF","data":")" + Pad(n) + "\"}");
     },
     1},
};

// Serves the road's frames with call fail_at failing (0: none), then one
// "actGetVersion" with nothing failing. Every request has its reply (an empty
// frame when even the reply could not be composed), the last one the
// version's, and no temporary file stays open or written.
void ServeRoad(const std::string& input, size_t requests, uint64_t fail_at,
               uint64_t* calls = nullptr) {
  ScriptedChannel pipe;
  FakeEditor editor;
  RecordingConverter converter;
  {
    HostSession session{pipe.channel(), &pipe, {}, {}, &editor, &converter};
    pipe.Feed(input);
    FailAllocationCall(fail_at);
    EXPECT_EQ(ServeRequests(session), 0);
    if (calls) *calls = AllocationCalls();
    FailAllocationCall(0);
    pipe.FeedFrame(R"({"action":"actGetVersion"})");
    EXPECT_EQ(ServeRequests(session), 0);
  }
  EXPECT_TRUE(editor.written.empty());
  EXPECT_FALSE(converter.open);
  std::vector<std::string> replies;
  for (const std::string& frame : pipe.OutputFrames())
    if (frame != kChunkRequest) replies.push_back(frame);
  // A first frame that could not be stored is answered at once, and its
  // continuations are then requests of their own.
  EXPECT_GE(replies.size(), requests + 1);
  EXPECT_LE(replies.size(), SplitFrames(input).size() + 1);
  EXPECT_EQ(replies.back(), kVersionReply);
}

uint64_t AddressSpace() {
  unsigned long long pages = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  char text[32] = {};
  if (statm && std::fgets(text, sizeof text, statm)) pages = std::strtoull(text, nullptr, 10);
  if (statm) std::fclose(statm);
  return pages * uint64_t(sysconf(_SC_PAGESIZE));
}

class RoadFaultTest : public ::testing::TestWithParam<Road> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Roads, RoadFaultTest, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<Road>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c; ++c)
                             if (isalnum(static_cast<unsigned char>(*c))) name += *c;
                           return name;
                         });

TEST_P(RoadFaultTest, EachAllocationMayFail) {
  const std::string input = GetParam().input(200);
  uint64_t calls = 0;
  ServeRoad(input, GetParam().requests, 0, &calls);
  ASSERT_GT(calls, 0u);
  for (uint64_t n = 1; n <= calls && !HasFailure(); ++n) {
    SCOPED_TRACE("call " + std::to_string(n) + " of " + std::to_string(calls) + " fails");
    ServeRoad(input, GetParam().requests, n);
  }
}

// A 4 MiB request within 96 MiB more of address space: a parse that grows
// with the nesting (about 30 bytes a level) cannot, and must fail cleanly.
TEST_P(RoadFaultTest, WithinAnAddressSpaceLimit) {
  const std::string input = GetParam().input(4 << 20);
  std::fflush(nullptr);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit = {AddressSpace() + (96u << 20), RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(2);
    ServeRoad(input, GetParam().requests, 0);
    _exit(HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
