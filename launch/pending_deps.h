// Temporary stand-ins for helpers that arrive with other branches
// (actions/chunked_transfer.h, zevar/dpath.h, zevar/dtemp.h,
// zevar/dfile_write.h). Delete this file and launch/pending_deps.cc when
// those are merged, and include the real headers instead.
#pragma once

#include <cstdint>

#include "host/request.h"
#include "zevar/dstring.h"

struct HostSession;

bool ReceiveChunkedData(HostSession& session, const ParsedRequest& request, ActionId action,
                        DString* payload);
void DMakeSafeFileName(const DWChar* text, DWString* result, bool last_component_only,
                       DWChar replacement);
bool DGetTempFolder(DWString* folder);
bool DMakeUniqueTempName(const DWChar* folder, const DWChar* prefix, const DWChar* extension,
                         DWString* path, DWString* name);
int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count);
