#include "launch/editor_launch.h"

#include "launch/command_line_limit.h"
#include "launch/editor_platform.h"

namespace {

// The line is left as it was when the argument cannot be appended whole.
bool AppendArgument(DWString* line, const DWChar* argument) {
  uint32_t before = line->length();
  if (line->Append(u" /A \"") && line->Append(argument) && line->Append(u'"')) return true;
  if (line->data()) line->SetLength(before);
  return false;
}

}  // namespace

bool FindEditor(HostSession& session, DWString* path) {
  path->Empty();
  if (session.editor) session.editor->FindEditorPath(path);
  return !path->empty();
}

void ReportEditorMissing(HostSession& session) {
  if (session.editor) session.editor->ShowEditorNotFound();
}

bool LocateEditor(HostSession& session, DWString* path) {
  if (FindEditor(session, path)) return true;
  ReportEditorMissing(session);
  return false;
}

void QueueEditorArgument(HostSession& session, const DWChar* argument) {
  DWString& line = session.pending_editor_command_line;
  DWString& cache = session.editor_path_cache;
  uint32_t previous = line.length();
  if (previous == 0) {
    // Looked up once; kept for the life of the process.
    if (cache.empty() && !LocateEditor(session, &cache)) return;
    if (!line.Append(cache.c_str(), cache.length())) return;
    previous = line.length();
  }
  // An argument that alone would pass what Windows starts is dropped: a URL
  // cut short would name another page.
  if (uint64_t(cache.length()) + 6 + DWString::Length(argument) > kCommandLineMaxLength ||
      !AppendArgument(&line, argument)) {
    if (previous == cache.length()) line.Empty();
    return;
  }
  // A first argument that alone passes the limit stays: starting the editor
  // without any argument would open nothing.
  if (line.length() <= kEditorCommandLineLimit || previous == cache.length()) return;
  line.SetLength(previous);
  session.platform->RunCommandLine(cache.c_str(), line.data());
  line.Empty();
  if (!line.Append(cache.c_str(), cache.length()) || !AppendArgument(&line, argument))
    line.Empty();
}
