// Where the host's input bytes come from: standard input in the program, a
// scripted source in tests.
#pragma once

#include <cstdint>
#include <cstdio>

class InputSource {
 public:
  virtual ~InputSource() = default;

  // Reads count bytes, blocking until they all arrived, the input ended or
  // the read was stopped (cancelled, or failed). Returns how many arrived;
  // *ended tells the end of input apart from a stop.
  [[nodiscard]] virtual uint32_t Read(void* buffer, uint32_t count, bool* ended) = 0;
};

// A standard I/O stream (the tests', the benchmarks' and the fuzzer's input).
// Not for a read that may be cancelled: fread need not tell how many bytes a
// failed read took.
class FileInputSource final : public InputSource {
 public:
  explicit FileInputSource(FILE* file) : file_(file) {}

  [[nodiscard]] uint32_t Read(void* buffer, uint32_t count, bool* ended) override {
    size_t got = std::fread(buffer, 1, count, file_);
    *ended = got < count && std::feof(file_);
    // A cancelled read leaves the error flag set; the next read tries again.
    if (got < count && !*ended) std::clearerr(file_);
    return uint32_t(got);
  }

 private:
  FILE* file_;
};
