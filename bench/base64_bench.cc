// Base64 decoding from a memory stream into a growable one, as the host
// decodes an uploaded document, next to a plain memcpy of the same bytes and
// next to coreutils' `base64 -d` on the same text.
//
// The machine is shared, so each benchmark reports the processor time its
// work consumed (this thread's, or the child's user and system time) as
// manual time; wall-clock figures swing with the neighbours' load.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "zevar/dbase64.h"
#include "zevar/dmemstream.h"

extern char** environ;

namespace {

constexpr size_t kDecodedBytes = 24 << 20;  // 32 MiB of Base64 text

const std::string& CleanText() {
  static const std::string text = [] {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 random(7);
    std::string out;
    out.reserve(kDecodedBytes / 3 * 4);
    for (size_t i = 0; i < kDecodedBytes / 3; ++i) {
      uint32_t g = random() & 0xFFFFFF;
      for (int k = 18; k >= 0; k -= 6) out += kAlphabet[(g >> k) & 63];
    }
    return out;
  }();
  return text;
}

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void Report(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["GB/s"] = benchmark::Counter(double(state.iterations()) * double(bytes),
                                              benchmark::Counter::kIsRate,
                                              benchmark::Counter::OneK::kIs1000);
}

void BM_DBase64DecodeCopy(benchmark::State& state) {
  std::string text = CleanText();
  DBufferStream source;
  if (source.Attach(text.data(), text.size(), kDRead) != kDOk) state.SkipWithError("no source");
  for (auto _ : state) {
    double start = ThreadSeconds();
    DMemoryStream out;
    if (out.Create(0, -2) != kDOk || DBase64DecodeCopy(&out, &source, text.size(), 0) != kDOk ||
        out.GetSize() != kDecodedBytes)
      state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.GetBuffer());
    if (out.Close() < 0) state.SkipWithError("close failed");
    state.SetIterationTime(ThreadSeconds() - start);
  }
  Report(state, text.size());
}

// The decoder alone, piece by piece into a buffer already mapped.
void BM_DBase64DecodePiece(benchmark::State& state) {
  const std::string& text = CleanText();
  std::vector<uint8_t> out(text.size());
  for (auto _ : state) {
    double start = ThreadSeconds();
    size_t made = 0;
    for (size_t at = 0; at < text.size(); at += 2048) {
      size_t n = std::min<size_t>(2048, text.size() - at);
      std::memcpy(out.data() + made, text.data() + at, n);
      made += DBase64DecodePiece(out.data() + made, uint32_t(n));
    }
    benchmark::DoNotOptimize(out.data());
    state.SetIterationTime(ThreadSeconds() - start);
  }
  Report(state, text.size());
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& text = CleanText();
  std::vector<char> out(text.size());
  for (auto _ : state) {
    double start = ThreadSeconds();
    std::memcpy(out.data(), text.data(), text.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - start);
  }
  Report(state, text.size());
}

void BM_CoreutilsBase64Decode(benchmark::State& state) {
  const std::string& text = CleanText();
  char path[] = "/tmp/vlx-b64-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0 || write(fd, text.data(), text.size()) != ssize_t(text.size())) {
    state.SkipWithError("cannot write the input file");
    return;
  }
  close(fd);
  std::string command = std::string("exec base64 -d < ") + path + " > /dev/null";
  char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), command.data(), nullptr};
  for (auto _ : state) {
    pid_t child;
    int status = 0;
    rusage used{};
    if (posix_spawn(&child, "/bin/sh", nullptr, nullptr, argv, environ) != 0 ||
        wait4(child, &status, 0, &used) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      state.SkipWithError("base64 -d failed");
      break;
    }
    state.SetIterationTime(double(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                           double(used.ru_utime.tv_usec + used.ru_stime.tv_usec) * 1e-6);
  }
  unlink(path);
  Report(state, text.size());
}

}  // namespace

BENCHMARK(BM_DBase64DecodeCopy)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_DBase64DecodePiece)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CoreutilsBase64Decode)->Unit(benchmark::kMillisecond)->UseManualTime();

BENCHMARK_MAIN();
