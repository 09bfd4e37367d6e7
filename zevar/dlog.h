// The runtime's diagnostic log. Reports name their source file and line, the
// local time and the thread. Nothing in the host opens a sink, so a report
// returns at once without formatting anything.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

struct DLog;

// The one process-wide log.
DLog* DLogDefault();

// format is a wide printf format as the C runtime of Windows reads it (%ls
// for wide text, %hs for narrow).
void DLogWrite(DLog* log, const char* source_file, int line, const DWChar* format, ...);

// Hands the log a sink: a file handle (HANDLE) opened for writing, which the
// log then owns, and its path. A null handle closes the current sink.
void DLogSetSink(DLog* log, void* handle, const DWChar* path);
