#include "actions/open_actions.h"

#include <utility>

#include "actions/chunked_transfer.h"
#include "actions/temp_pdf.h"
#include "zevar/durl.h"
#include "zevar/dpositional_format.h"
#include "launch/argv_escape.h"
#include "launch/editor_launch.h"
#include "launch/editor_platform.h"
#include "zevar/dcodepage.h"

namespace {

// A member that is missing or not a string counts as absent. The text ends at
// its first NUL.
bool CopyMember(const rapidjson::Document& document, const char* name, DWString* text) {
  text->Empty();
  if (!document.IsObject()) return false;
  auto member = document.FindMember(name);
  if (member == document.MemberEnd() || !member->value.IsString()) return false;
  return DUtf8ToWide(member->value.GetString(), text);
}

// Title and url go between double quotes; escaped so that neither can end
// the quoted part early and add arguments of its own.
bool AppendQuotedPart(DWString* arguments, const DWChar* name, const DWString& value) {
  if (value.empty()) return true;
  return arguments->Append(name) && arguments->Append(u'"') &&
         AppendArgvEscaped(arguments, value.c_str()) && arguments->Append(u'"');
}

bool ContainsQuote(const DWString& text) {
  for (uint32_t i = 0; i < text.length(); ++i)
    if (text.c_str()[i] == u'"') return true;
  return false;
}

}  // namespace

bool BuildOpenPdfArguments(const DWString& title, const DWString& url, const DWString& path,
                           DWString* arguments) {
  arguments->Empty();
  return arguments->Append(u"/A temp=yes") && AppendQuotedPart(arguments, u";title=", title) &&
         AppendQuotedPart(arguments, u";url=", url) && arguments->Append(u" \"") &&
         arguments->Append(path.c_str(), path.length()) && arguments->Append(u'"');
}

void HandleOpenPdf(HostSession& session, const ParsedRequest& request) {
  DWString title, url;
  CopyMember(request.document, "title", &title);
  CopyMember(request.document, "url", &url);
  // The document goes to its file as it is decoded; whatever stops the road
  // below removes the file again.
  TempPdfWriter* file = session.editor ? &session.editor->TempPdf() : nullptr;
  PdfDocumentSink document(file);
  // Broken off: the document is incomplete, so nothing is opened.
  bool whole = ReceiveChunkedData(session, request, kActionOpenPdf, &document);
  if (whole) document.Finish();
  DWString editor;
  if (!whole || !FindEditor(session, &editor)) {
    if (file) file->Remove();
    if (whole) ReportEditorMissing(session);
    return;
  }
  // Nothing decoded (no Base64 character after the marker): no file was
  // made, and Close says so.
  DWString path;
  if (!file->Close(&path)) return;
  DWString arguments;
  if (!BuildOpenPdfArguments(title, url, path, &arguments)) return;
  session.editor->StartEditor(editor.c_str(), arguments.c_str());
}

void HandleOpenByUrl(HostSession& session, const ParsedRequest& request) {
  DWString url;
  if (!CopyMember(request.document, "URL", &url) || url.empty()) return;
  // Flag 4 escapes blanks, double quotes and backslashes as well, so the
  // argument stays one quoted token.
  DWString escaped;
  if (!DEscapeUrl(url.c_str(), &escaped, 4) || escaped.empty()) return;
  QueueEditorArgument(session, escaped.c_str());
}

void HandleOpenLocalPdf(HostSession& session, const ParsedRequest& request) {
  DWString local_path;
  if (!CopyMember(request.document, "localPath", &local_path) || local_path.empty()) return;
  DWString text;
  if (!text.Append(u"file:///") || !text.Append(local_path.c_str(), local_path.length())) return;
  DWString file_url;
  if (!DUnescapeUrl(text.c_str(), &file_url)) return;
  // No file name holds a double quote; one from %22 could only split the
  // editor's arguments.
  if (ContainsQuote(file_url)) return;

  DWString editor;
  if (!LocateEditor(session, &editor)) return;
  // A final backslash must not escape the template's closing quote.
  DWString argument;
  if (!AppendArgvEscaped(&argument, file_url.c_str())) return;
  DWString pattern;
  if (!pattern.Assign(u"/A \"%1\"")) return;
  DPositionalFormat format(std::move(pattern));
  if (!format.SetArgument(1, argument.c_str()) || !format.Build()) return;
  session.editor->StartEditor(editor.c_str(), format.text().c_str());
}
