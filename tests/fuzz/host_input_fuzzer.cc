// Feeds arbitrary bytes to the host as its standard input and serves them the
// way the main loop does: frames, JSON, dispatch and replies must hold for
// every input a browser (or anything else) could write into the pipe. Each
// conversion runs the cancel watcher over the input, its read stopped after a
// number of bytes that the input decides, so the handoff of kept and begun
// frames to the main loop is fuzzed too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "actions/temp_pdf.h"
#include "host/cancel_watcher.h"
#include "host/main_loop.h"
#include "launch/converter.h"
#include "launch/editor_platform.h"

namespace {

// Everything around the host, in memory: the pipe, whose poll counts what no
// read has taken yet and whose reads past the budget stop as a cancelled read
// does; an installed editor whose document is only counted, so the open
// actions run their whole road on the fuzzed bytes; and a converter that
// finishes at once, so the conversion requests (and the chunked MHTML) run
// through their handlers while the watcher reads a number of bytes that the
// page's size decides.
class World : public HostPlatform,
              public InputSource,
              public EditorPlatform,
              public TempPdfWriter,
              public Converter {
 public:
  World(FILE* input, size_t size) : input_(input), size_(size), file_(input) {}

  bool PeekInput(uint32_t* available) override {
    *available = uint32_t(size_ - size_t(std::ftell(input_)));
    return true;
  }
  void RunCommandLine(const DWChar*, DWChar*) override {}
  void SignalNamedEvent(const DWChar*) override {}
  uint32_t Read(void* buffer, uint32_t count, bool* ended) override {
    uint32_t want = count < budget_ ? count : uint32_t(budget_);
    uint32_t got = file_.Read(buffer, want, ended);
    budget_ -= got;
    if (got == want && want < count) *ended = false;
    return got;
  }

  void FindEditorPath(DWString* path) override {
    if (!path->Assign(u"C:\\Editor\\VLXEditor.exe")) path->Empty();  // as if none were found
  }
  void ShowEditorNotFound() override {}
  bool StartEditor(const DWChar*, const DWChar*) override { return true; }
  TempPdfWriter& TempPdf() override { return *this; }
  bool Write(const uint8_t*, uint32_t count) override {
    pdf_size_ += count;
    return true;
  }
  bool Close(DWString* path) override {
    bool any = pdf_size_ > 0;
    closed_size_ = pdf_size_;
    pdf_size_ = 0;
    return any && path->Assign(u"C:\\Temp\\vlx_0.pdf");
  }
  void Remove() override { pdf_size_ = 0; }
  void Discard(const DWString&) override {}

  // The page goes through the same counting file as the PDF.
  TempFileWriter& PageFile(bool) override {
    pdf_size_ = 1;  // even an empty page is a file
    return *this;
  }
  int32_t RunConversion(HostSession& session, const DWChar*, const DWChar*) override {
    ConversionContext context;
    context.session = &session;
    if (!context.cancel_event_name.Assign(u"Local\\fuzz")) return -1;
    budget_ = closed_size_ % 97;
    WatchForCancel(context);
    budget_ = UINT64_MAX;
    return int32_t(closed_size_);
  }
  void ShowSettings() override {}

 private:
  FILE* input_;
  size_t size_;
  FileInputSource file_;
  uint64_t budget_ = UINT64_MAX;
  uint64_t pdf_size_ = 0;
  uint64_t closed_size_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");  // only read
  char* written = nullptr;
  size_t written_size = 0;
  FILE* output = open_memstream(&written, &written_size);
  setvbuf(input, nullptr, _IONBF, 0);
  World world(input, size);
  InputReader reader(world);
  HostSession session{{&reader, output}, &world, {}, {}, &world, &world};
  ServeRequests(session);
  std::fclose(input);
  std::fclose(output);
  // The output is a sequence of whole frames, each holding a JSON object.
  for (size_t at = 0; at < written_size;) {
    if (written_size - at < 4) __builtin_trap();
    uint32_t n = uint8_t(written[at]) | uint8_t(written[at + 1]) << 8 |
                 uint8_t(written[at + 2]) << 16 | uint32_t(uint8_t(written[at + 3])) << 24;
    if (n > written_size - at - 4 || (n && written[at + 4] != '{')) __builtin_trap();
    at += 4 + n;
  }
  std::free(written);
  return 0;
}
