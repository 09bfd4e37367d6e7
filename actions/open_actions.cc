#include "actions/open_actions.h"

#include "actions/chunked_transfer.h"
#include "actions/temp_pdf.h"
#include "launch/ansi_safe_value.h"
#include "launch/command_line_limit.h"
#include "launch/editor_launch.h"
#include "launch/editor_platform.h"
#include "zevar/dcodepage.h"
#include "zevar/ddevice_path.h"
#include "zevar/durl.h"

namespace {

// A member that is missing or not a string counts as absent. The text ends at
// its first NUL.
bool CopyMember(const RequestDocument& document, const char* name, DWString* text) {
  text->Empty();
  if (!document.IsObject()) return false;
  auto member = document.FindMember(name);
  if (member == document.MemberEnd() || !member->value.IsString()) return false;
  return DUtf8ToWide(member->value.GetString(), text);
}

// A part such as ;title="…", its value in the form of ansi_safe_value.h.
bool AppendPart(DWString* arguments, const DWChar* name, const DWString& value, ValueFit fit,
                ValueKind kind) {
  return arguments->Append(name) && arguments->Append(u'"') &&
         AppendValue(arguments, value.c_str(), fit, kind) && arguments->Append(u'"');
}

bool ContainsQuote(const DWString& text) {
  for (uint32_t i = 0; i < text.length(); ++i)
    if (text.c_str()[i] == u'"') return true;
  return false;
}

}  // namespace

bool BuildOpenPdfArguments(const DWString& editor, const DWString& title, const DWString& url,
                           const DWString& path, DWString* arguments) {
  arguments->Empty();
  const DWChar kSwitch[] = u"/A temp=yes";
  // The editor's path, a blank, the switch and the quoted path always stand.
  uint64_t fixed = uint64_t(editor.length()) + 1 + DWString::Length(kSwitch) + 3 + path.length();
  if (fixed > kCommandLineMaxLength) return false;
  uint32_t room = uint32_t(kCommandLineMaxLength - fixed);
  const uint32_t kTitlePart = 9, kUrlPart = 7;  // ;title="" and ;url=""
  // The title gives way first: it has what the whole url leaves.
  ValueFit url_fit =
      FitValue(url.c_str(), url.length(), ValueKind::kUrl, room > kUrlPart ? room - kUrlPart : 0);
  ValueFit title_fit = {0, 0};
  uint32_t url_units = url_fit.taken ? kUrlPart + url_fit.units : 0;
  if (url_fit.taken == url.length() && room > url_units + kTitlePart)
    title_fit =
        FitValue(title.c_str(), title.length(), ValueKind::kText, room - url_units - kTitlePart);
  return arguments->Append(kSwitch) &&
         (!title_fit.taken ||
          AppendPart(arguments, u";title=", title, title_fit, ValueKind::kText)) &&
         (!url_fit.taken || AppendPart(arguments, u";url=", url, url_fit, ValueKind::kUrl)) &&
         arguments->Append(u" \"") && arguments->Append(path.c_str(), path.length()) &&
         arguments->Append(u'"');
}

bool BuildOpenLocalPdfArguments(const DWString& editor, const DWString& file_url,
                                DWString* arguments) {
  arguments->Empty();
  uint64_t fixed = uint64_t(editor.length()) + 1 + 5;  // a blank, /A, a blank, two quotes
  if (fixed > kCommandLineMaxLength) return false;
  ValueFit fit = FitValue(file_url.c_str(), file_url.length(), ValueKind::kUrl,
                          uint32_t(kCommandLineMaxLength - fixed));
  // A path cut short would name another file.
  if (fit.taken != file_url.length()) return false;
  return AppendPart(arguments, u"/A ", file_url, fit, ValueKind::kUrl);
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
  if (!whole || !file || !FindEditor(session, &editor)) {
    if (file) file->Remove();
    if (whole) ReportEditorMissing(session);
    return;
  }
  // Nothing decoded (no Base64 character after the marker): no file was
  // made, and Close says so.
  DWString path;
  if (!file->Close(&path)) return;
  // Nobody else would ever remove a file the editor did not get.
  DWString arguments;
  if (!BuildOpenPdfArguments(editor, title, url, path, &arguments) ||
      !session.editor->StartEditor(editor.c_str(), arguments.c_str()))
    file->Discard(path);
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
  // editor's arguments. A device (a pipe, a volume, the console) is never a
  // document.
  if (ContainsQuote(file_url) || DIsDevicePath(file_url.c_str() + 8, file_url.length() - 8)) return;

  DWString editor;
  if (!LocateEditor(session, &editor)) return;
  DWString arguments;
  if (!BuildOpenLocalPdfArguments(editor, file_url, &arguments)) return;
  session.editor->StartEditor(editor.c_str(), arguments.c_str());
}
