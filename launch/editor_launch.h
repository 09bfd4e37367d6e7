// The batched editor start: "openByURL" arguments collected in the pending
// editor command line, started once the input is drained.
#pragma once

#include <cstdint>

#include "host/host_session.h"
#include "zevar/dstring.h"

// Longest pending line, in UTF-16 units, before it is split.
constexpr uint32_t kEditorCommandLineLimit = 8191;

// Adds blank, /A, blank and the argument in double quotes to the pending
// line, which starts with the cached editor path. The argument holds no
// double quote. A line that would pass the limit is started without the new
// argument, which then begins the next line. An argument that even alone
// would pass kCommandLineMaxLength is dropped. Shows the not-found message
// when the editor is missing.
void QueueEditorArgument(HostSession& session, const DWChar* argument);

// The editor's path for an immediate start; false, after the not-found
// message, when it is not installed. A session without an editor seam (a
// harness that only exercises the channel) has no editor and shows nothing.
bool LocateEditor(HostSession& session, DWString* path);

// The two halves of LocateEditor, for a caller with something to undo between
// them.
bool FindEditor(HostSession& session, DWString* path);
void ReportEditorMissing(HostSession& session);
