// The whole native path of an "openPDF": each frame read and parsed, the
// Base64 data URL joined and decoded, the document written to a file. Sizes
// are of the PDF (16 and 64 MiB), the pieces of the data URL's text (1 and 8
// MiB). FramesOnly reads and parses the same frames and keeps nothing: what
// the channel and the JSON parser cost on their own.
//
// The machine is shared, so each iteration reports this thread's processor
// time (user and system, page faults and the file write included) as manual
// time.
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "actions/chunked_transfer.h"
#include "actions/temp_pdf.h"
#include "host/channel.h"
#include "host/request.h"

namespace {

std::string Frame(const std::string& body) {
  uint32_t n = uint32_t(body.size());
  return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} + body;
}

// The frames of one "openPDF": the first piece is the request's own.
struct Upload {
  std::string first;
  std::vector<std::string> frames;
};

Upload MakeUpload(uint32_t pdf_mebibytes, uint32_t piece_mebibytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::mt19937 random(7);
  std::string url = "data:application/pdf;base64,";
  size_t groups = (size_t(pdf_mebibytes) << 20) / 3;
  url.reserve(url.size() + groups * 4 + 4);
  for (size_t i = 0; i < groups; ++i) {
    uint32_t g = random() & 0xFFFFFF;
    for (int k = 18; k >= 0; k -= 6) url += kAlphabet[(g >> k) & 63];
  }
  url += "QQ==";  // the last byte of the size
  const size_t piece = size_t(piece_mebibytes) << 20;
  Upload upload;
  for (size_t at = 0; at < url.size(); at += piece) {
    bool more = at + piece < url.size();
    std::string body = R"({"action":"openPDF","data":")" + url.substr(at, piece) +
                       R"(","dataRest":)" + (more ? "1" : "0") + "}";
    if (at == 0) upload.first = body;
    else upload.frames.push_back(Frame(body));
  }
  return upload;
}

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The continuation frames as the host's standard input.
FILE* InputOf(const Upload& upload, std::string* bytes) {
  bytes->clear();
  for (const std::string& frame : upload.frames) *bytes += frame;
  return fmemopen(bytes->data(), bytes->size(), "rb");
}

// That input read as the host reads it.
struct BenchInput {
  BenchInput(const Upload& upload, std::string* bytes)
      : file(InputOf(upload, bytes)), source(file), reader(source) {}
  ~BenchInput() { std::fclose(file); }
  FILE* file;
  FileInputSource source;
  InputReader reader;
};

void Report(benchmark::State& state, uint32_t pdf_mebibytes) {
  state.SetBytesProcessed(int64_t(state.iterations()) * (int64_t(pdf_mebibytes) << 20));
}

// The temporary file as the native build has it: the C library's stdio.
class FileWriter : public TempPdfWriter {
 public:
  explicit FileWriter(const std::string& path) : path_(path) {}
  bool Write(const uint8_t* bytes, uint32_t count) override {
    if (!file_) file_ = std::fopen(path_.c_str(), "wb");
    if (file_ && std::fwrite(bytes, 1, count, file_) == count) {
      size += count;
      return true;
    }
    Remove();
    return false;
  }
  bool Close(DWString* path) override {
    bool whole = file_ && std::fclose(file_) == 0;
    file_ = nullptr;
    return whole && path->Assign(u"vlx_open_pdf_bench.pdf");
  }
  void Remove() override {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    unlink(path_.c_str());
  }
  void Discard(const DWString&) override { unlink(path_.c_str()); }
  uint64_t size = 0;

 private:
  std::string path_;
  FILE* file_ = nullptr;
};

void OpenPdfPath(benchmark::State& state) {
  const uint32_t pdf = uint32_t(state.range(0));
  const Upload upload = MakeUpload(pdf, uint32_t(state.range(1)));
  std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                     "/vlx_open_pdf_bench.pdf";
  FILE* output = std::fopen("/dev/null", "wb");
  std::string bytes;
  for (auto _ : state) {
    BenchInput input(upload, &bytes);
    std::string first = upload.first;  // parsed in place
    double start = ThreadSeconds();
    HostSession session{{&input.reader, output}, nullptr, {}, {}};
    ParsedRequest request;
    ParseRequest(&first[0], &request);
    FileWriter file(path);
    PdfDocumentSink sink(&file);
    bool whole = ReceiveChunkedData(session, request, kActionOpenPdf, &sink);
    sink.Finish();
    DWString written;
    if (!whole || !file.Close(&written) || file.size != (uint64_t(pdf) << 20) / 3 * 3 + 1)
      state.SkipWithError("the path failed");
    state.SetIterationTime(ThreadSeconds() - start);
  }
  std::fclose(output);
  unlink(path.c_str());
  Report(state, pdf);
}

void FramesOnly(benchmark::State& state) {
  const uint32_t pdf = uint32_t(state.range(0));
  const Upload upload = MakeUpload(pdf, uint32_t(state.range(1)));
  std::string bytes;
  for (auto _ : state) {
    BenchInput input(upload, &bytes);
    std::string first = upload.first;  // parsed in place
    double start = ThreadSeconds();
    Channel channel{&input.reader, nullptr};
    ParsedRequest request;
    ParseRequest(&first[0], &request);
    DString message;
    for (size_t i = 0; i < upload.frames.size(); ++i) {
      if (ReadMessage(channel, &message) != ReadOutcome::kBody) state.SkipWithError("no frame");
      ParsedRequest next;
      ParseRequest(message.data(), &next);
      message.Release();
    }
    state.SetIterationTime(ThreadSeconds() - start);
  }
  Report(state, pdf);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({16, 1})->Args({16, 8})->Args({64, 1})->Args({64, 8});
  b->ArgNames({"pdf_MiB", "piece_MiB"})->UseManualTime()->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(OpenPdfPath)->Apply(Sizes);
BENCHMARK(FramesOnly)->Apply(Sizes);

BENCHMARK_MAIN();
