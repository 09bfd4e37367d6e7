// The per-request work of the message channel: parsing a request and
// composing its reply.
#include <benchmark/benchmark.h>

#include <cstring>

#include "host/reply.h"
#include "host/request.h"

static void BM_ParseRequest(benchmark::State& state) {
  const char kText[] = R"({"action":"openByURL","URL":"https://example.com/a%20b.pdf"})";
  for (auto _ : state) {
    char text[sizeof kText];  // parsed in place
    std::memcpy(text, kText, sizeof text);
    ParsedRequest request;
    ParseRequest(text, &request);
    benchmark::DoNotOptimize(request.action);
  }
}
BENCHMARK(BM_ParseRequest);

static void BM_ComposeReply(benchmark::State& state) {
  DWString answer;
  if (!answer.Assign(u"11.1.1.0")) state.SkipWithError("no memory");
  for (auto _ : state) {
    DString text;
    ComposeReply(0, answer, &text);
    benchmark::DoNotOptimize(text.c_str());
  }
}
BENCHMARK(BM_ComposeReply);

BENCHMARK_MAIN();
