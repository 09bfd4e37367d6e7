// How the time of a chunked transfer grows with its size: 16, 64 and 256 MiB
// in pieces of 1 MiB, the whole exchange (frames read, parsed and joined).
// The "per_MiB" counter is the time per MiB joined; it stays flat when the
// transfer is linear.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "actions/chunked_transfer.h"
#include "host/request.h"

namespace {

constexpr uint32_t kPiece = 1u << 20;

std::string Frame(const std::string& body) {
  uint32_t n = uint32_t(body.size());
  return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} + body;
}

std::string PieceMessage(bool more) {
  return R"({"action":"openPDF","data":")" + std::string(kPiece, 'Q') + R"(","dataRest":)" +
         (more ? "1" : "0") + "}";
}

// An input stream that plays `pieces` continuation frames, the last one
// ending the transfer, without holding them all in memory.
struct ScriptedInput {
  const std::string* more;
  const std::string* last;
  uint32_t frames_left;
  size_t at;

  static ssize_t Read(void* cookie, char* buffer, size_t size) {
    auto* self = static_cast<ScriptedInput*>(cookie);
    size_t done = 0;
    while (done < size && self->frames_left > 0) {
      const std::string& frame = self->frames_left == 1 ? *self->last : *self->more;
      size_t n = std::min(size - done, frame.size() - self->at);
      std::memcpy(buffer + done, frame.data() + self->at, n);
      done += n;
      self->at += n;
      if (self->at == frame.size()) {
        self->at = 0;
        --self->frames_left;
      }
    }
    return ssize_t(done);
  }
};

void SetCounters(benchmark::State& state, uint32_t mebibytes) {
  state.SetBytesProcessed(int64_t(state.iterations()) * mebibytes * kPiece);
  state.counters["per_MiB"] = benchmark::Counter(
      double(mebibytes), benchmark::Counter::kIsIterationInvariantRate |
                             benchmark::Counter::kInvert);
}

void ChunkedTransfer(benchmark::State& state) {
  const uint32_t mebibytes = uint32_t(state.range(0));
  const std::string more = Frame(PieceMessage(true));
  const std::string last = Frame(PieceMessage(false));
  const std::string first = PieceMessage(true);
  FILE* output = std::fopen("/dev/null", "wb");
  for (auto _ : state) {
    ScriptedInput script{&more, &last, mebibytes - 1, 0};
    FILE* input = fopencookie(&script, "rb", {ScriptedInput::Read, nullptr, nullptr, nullptr});
    FileInputSource source(input);
    InputReader reader(source);
    HostSession session{{&reader, output}, nullptr, {}, {}};
    std::string text = first;  // parsed in place
    ParsedRequest request;
    ParseRequest(&text[0], &request);
    DByteChain payload;
    ChainSink sink(&payload);
    bool whole = ReceiveChunkedData(session, request, kActionOpenPdf, &sink);
    if (!whole || payload.size() != mebibytes * kPiece) state.SkipWithError("transfer failed");
    std::fclose(input);
  }
  std::fclose(output);
  SetCounters(state, mebibytes);
}

}  // namespace

BENCHMARK(ChunkedTransfer)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
