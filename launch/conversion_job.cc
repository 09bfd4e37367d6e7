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

int32_t Convert(HostSession& session, const ParsedRequest& request, const DByteChain& page,
                bool is_mhtml) {
  if (!session.converter) return -1;
  DWString title;
  MakeSaveName(request, &title);
  return session.converter->RunConversion(session, page, title.c_str(), is_mhtml);
}

// A page that arrived whole, lent from the request without a copy.
int32_t ConvertText(HostSession& session, const ParsedRequest& request, const char* text,
                    bool is_mhtml) {
  DByteChain page;
  if (!page.Borrow(text, uint32_t(std::strlen(text)))) return -1;
  return Convert(session, request, page, is_mhtml);
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
  // The pieces are kept as they arrived: no joined copy of the page.
  DByteChain page;
  ChainSink sink(&page);
  // Without a first piece nothing more is asked for; the empty page still
  // goes to the converter.
  if (FindString(request, "data") &&
      !ReceiveChunkedData(session, request, kActionMhtmlToPdf, &sink))
    return 0;  // the browser went away in the middle of the transfer
  return Convert(session, request, page, true);
}

void HandlePreferences(HostSession& session) {
  if (session.converter) session.converter->ShowSettings();
}
