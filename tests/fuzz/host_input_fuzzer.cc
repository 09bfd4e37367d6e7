// Feeds arbitrary bytes to the host as its standard input and serves them the
// way the main loop does: frames, JSON, dispatch and replies must hold for
// every input a browser (or anything else) could write into the pipe. Each
// conversion runs the cancel watcher over the input, its read stopped after a
// number of bytes that the input decides, so the handoff of kept and begun
// frames to the main loop is fuzzed too.
//
// The oracle is a model of what the input asks for: its frames in order, one
// reply each (the watcher's "cancel" none), a chunk request wherever a
// transfer continues, and the states that follow from the requests. The
// output must be exactly that.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "actions/chunked_transfer.h"
#include "actions/temp_pdf.h"
#include "host/cancel_watcher.h"
#include "host/dispatch.h"
#include "host/main_loop.h"
#include "launch/converter.h"
#include "launch/editor_platform.h"
#include "tests/unit/scripted_channel.h"

namespace {

// The page decides how many bytes the watcher may read.
uint64_t WatchBudget(uint64_t page_size) { return page_size % 97; }

// Everything around the host, in memory: the pipe, whose poll counts what no
// read has taken yet and whose reads past the budget stop as a cancelled read
// does; an installed editor whose document is only counted, so the open
// actions run their whole road on the fuzzed bytes; and a converter that
// answers with the page's size at once, so the conversion requests (and the
// chunked MHTML) run through their handlers while the watcher reads.
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
  void SignalNamedEvent(const DWChar*) override { ++signals; }
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
    pdf_size_ = 1;  // even an empty page is a file: one byte more than the page
    return *this;
  }
  int32_t RunConversion(HostSession& session, const DWChar*, const DWChar*) override {
    const uint64_t page_size = closed_size_ - 1;
    ConversionContext context;
    context.session = &session;
    if (!context.cancel_event_name.Assign(u"Local\\fuzz")) return -1;
    budget_ = WatchBudget(page_size);
    WatchForCancel(context);
    budget_ = UINT64_MAX;
    return int32_t(page_size);
  }
  void ShowSettings() override {}

  int signals = 0;

 private:
  FILE* input_;
  size_t size_;
  FileInputSource file_;
  uint64_t budget_ = UINT64_MAX;
  uint64_t pdf_size_ = 0;
  uint64_t closed_size_ = 0;
};

// A frame of the input: where its bytes end, whether they all came, whether
// its length was 0 or less, and its body's text up to a NUL, as the host
// reads it.
struct InputFrame {
  size_t end;
  bool whole, empty;
  std::string text;
};

const RequestValue* Member(const RequestDocument& document, const char* name) {
  if (!document.IsObject()) return nullptr;
  auto member = document.FindMember(name);
  return member == document.MemberEnd() ? nullptr : &member->value;
}

bool IsText(const RequestValue* value) { return value && value->IsString(); }
size_t TextLength(const RequestValue* value) {
  return IsText(value) ? std::strlen(value->GetString()) : 0;
}

// A frame's request, parsed in place in a copy of its text that lives as
// long as the document.
struct ModelRequest {
  explicit ModelRequest(const InputFrame& frame) : text(frame.text) {
    ParseRequest(&text[0], &parsed);
  }
  std::string text;
  ParsedRequest parsed;
};

// What the host must write for the input, and how many "cancel" requests
// the watcher acts on.
class Model {
 public:
  Model(const uint8_t* data, size_t size) : size_(size) {
    for (size_t at = 0; at < size; at = frames_.back().end) {
      int32_t n = size - at < 4
                      ? 0
                      : int32_t(uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 |
                                uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 3]) << 24);
      if (size - at < 4 || (n > 0 && size - at - 4 < uint32_t(n))) {
        frames_.push_back({size, false, false, ""});
        continue;
      }
      const char* body = reinterpret_cast<const char*>(data + at + 4);
      frames_.push_back({at + 4 + (n > 0 ? n : 0), true, n <= 0,
                         n > 0 ? std::string(body, strnlen(body, size_t(n))) : ""});
    }
    taken_.resize(frames_.size());
  }

  // One reply per request, after the chunk requests of its transfer.
  std::string Output() {
    std::string out;
    while (const InputFrame* frame = Next()) {
      ModelRequest request(*frame);
      ActionId action = request.parsed.action;
      int32_t state = action == kActionNone ? kStateUnknownAction : State(request.parsed, &out);
      out += Frame(Reply(std::to_string(state), action == kActionGetVersion ? "11.1.1.0" : ""));
    }
    return out;
  }

  int cancels = 0;

 private:
  // The next frame that the main loop or a transfer reads; null once the
  // input is drained.
  const InputFrame* Next() {
    while (next_ < frames_.size() && taken_[next_]) ++next_;
    if (next_ == frames_.size()) return nullptr;
    taken_[next_] = true;
    read_ = std::max(read_, frames_[next_].end);
    return &frames_[next_++];
  }

  int32_t State(const ParsedRequest& request, std::string* out) {
    const RequestDocument& document = request.document;
    if (request.action == kActionOpenPdf) Transfer(request, nullptr, out);
    if (request.action == kActionHtmlToPdf && IsText(Member(document, "htmlText")))
      return Convert(TextLength(Member(document, "htmlText")));
    if (request.action != kActionMhtmlToPdf) return 0;
    const RequestValue* version = Member(document, "version");
    int number = version && version->IsInt() ? version->GetInt() : 1;
    if (number == 1) return Convert(TextLength(Member(document, "mhtmlText")));
    uint64_t page = 0;
    if (number != 2 || (IsText(Member(document, "data")) && !Transfer(request, &page, out)))
      return 0;
    return Convert(page);
  }

  // Adds the message's piece to the page; true when more pieces follow.
  static bool TakePiece(const RequestDocument& message, uint64_t* page) {
    if (page) *page += TextLength(Member(message, "data"));
    const RequestValue* rest = Member(message, "dataRest");
    return rest && rest->IsInt() && rest->GetInt() >= 1;
  }

  // False when the input ends before the last piece.
  bool Transfer(const ParsedRequest& request, uint64_t* page, std::string* out) {
    for (bool more = TakePiece(request.document, page); more;) {
      *out += Frame(kChunkRequest);
      const InputFrame* frame = Next();
      if (!frame || !frame->whole) return false;
      ModelRequest piece(*frame);
      if (piece.parsed.action == request.action) more = TakePiece(piece.parsed.document, page);
    }
    return true;
  }

  // The watcher reads the frames that come whole within its budget, from
  // where the input stands (behind the frames kept before), and ends at the
  // first "cancel", which it takes, or at an empty frame, which it keeps.
  int32_t Convert(uint64_t page) {
    const size_t limit = read_ + WatchBudget(page);
    for (size_t i = next_; i < frames_.size() && frames_[i].whole && frames_[i].end <= limit; ++i) {
      if (frames_[i].end <= read_) continue;
      read_ = frames_[i].end;
      if (frames_[i].empty) return int32_t(page);
      if (FindRequestAction(frames_[i].text.c_str()) == kActionCancel) {
        taken_[i] = true;
        ++cancels;
        return int32_t(page);
      }
    }
    read_ = std::max(read_, std::min(limit, size_));
    return int32_t(page);
  }

  std::vector<InputFrame> frames_;
  std::vector<bool> taken_;
  size_t size_;
  size_t next_ = 0;  // the first frame not taken yet
  size_t read_ = 0;  // the bytes that the host has taken from the input
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
  Model model(data, size);
  const std::string expected = model.Output();
  if (std::string(written, written_size) != expected || world.signals != model.cancels) {
    std::fprintf(stderr, "wrote %zu bytes, expected %zu; %d cancels acted on, expected %d\n",
                 written_size, expected.size(), world.signals, model.cancels);
    __builtin_trap();
  }
  std::free(written);
  return 0;
}
