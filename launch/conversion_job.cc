#include "launch/conversion_job.h"

#include <cstring>

#include "actions/chunked_transfer.h"
#include "launch/converter.h"
#include "zevar/dcodepage.h"
#include "zevar/dpath.h"

namespace {

const RequestValue* FindString(const ParsedRequest& request, const char* name) {
  const RequestDocument& document = request.document;
  if (!document.IsObject()) return nullptr;
  auto member = document.FindMember(name);
  if (member == document.MemberEnd() || !member->value.IsString()) return nullptr;
  return &member->value;
}

// Takes the pieces of a chunked page straight to its file, so the page is
// never held in memory. A failed write does not break the transfer off: the
// browser is still asked for every piece, the file has removed itself, and
// its Close tells that the page was not stored.
class PageFileSink final : public PieceSink {
 public:
  explicit PageFileSink(TempFileWriter* file) : file_(file) {}
  bool Take(const char* bytes, uint32_t length) override {
    if (file_) (void)file_->Write(reinterpret_cast<const uint8_t*>(bytes), length);
    return true;
  }

 private:
  TempFileWriter* file_;
};

// The page is in its file: a page that could not be stored converts nothing.
int32_t Convert(HostSession& session, const ParsedRequest& request, TempFileWriter& file) {
  DWString source;
  if (!file.Close(&source)) return 0;
  DWString title;
  MakeSaveName(request, &title);
  return session.converter->RunConversion(session, source.c_str(), title.c_str());
}

// A page that arrived whole, written from the request without a copy; an
// empty one makes an empty file, which is converted all the same.
int32_t ConvertText(HostSession& session, const ParsedRequest& request, const char* text,
                    bool is_mhtml) {
  if (!session.converter) return -1;
  TempFileWriter& file = session.converter->PageFile(is_mhtml);
  (void)file.Write(reinterpret_cast<const uint8_t*>(text), uint32_t(std::strlen(text)));
  return Convert(session, request, file);
}

}  // namespace

void MakeSaveName(const ParsedRequest& request, DWString* save_name) {
  save_name->Empty();
  const RequestValue* title = FindString(request, "title");
  if (!title) return;
  DWString wide;
  if (!DUtf8ToWide(title->GetString(), title->GetStringLength(), &wide)) return;
  DMakeSafeFileName(wide.c_str(), save_name, true, 0);
}

int32_t HandleHtmlToPdf(HostSession& session, const ParsedRequest& request) {
  const RequestValue* html = FindString(request, "htmlText");
  if (!html) return 0;
  // The file holds the text up to an escaped NUL, as the C string reads it.
  return ConvertText(session, request, html->GetString(), false);
}

int32_t HandleMhtmlToPdf(HostSession& session, const ParsedRequest& request) {
  int version = 1;
  if (request.document.IsObject()) {
    auto member = request.document.FindMember("version");
    if (member != request.document.MemberEnd() && member->value.IsInt())
      version = member->value.GetInt();
  }
  if (version == 1) {
    const RequestValue* mhtml = FindString(request, "mhtmlText");
    return ConvertText(session, request, mhtml ? mhtml->GetString() : "", true);
  }
  if (version != 2) return 0;
  TempFileWriter* file = session.converter ? &session.converter->PageFile(true) : nullptr;
  PageFileSink sink(file);
  // Without a first piece nothing more is asked for; the empty page still
  // goes to the converter.
  if (FindString(request, "data") &&
      !ReceiveChunkedData(session, request, kActionMhtmlToPdf, &sink)) {
    // The browser went away in the middle of the transfer: no part of the
    // page stays behind.
    if (file) file->Remove();
    return 0;
  }
  if (!file) return -1;
  (void)file->Write(reinterpret_cast<const uint8_t*>(""), 0);
  return Convert(session, request, *file);
}

void HandlePreferences(HostSession& session) {
  if (session.converter) session.converter->ShowSettings();
}
