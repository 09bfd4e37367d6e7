// HTML and MHTML conversion through the converter, and its settings dialog.
#pragma once

#include <cstdint>

#include "host/host_session.h"
#include "host/request.h"

int32_t HandleHtmlToPdf(HostSession& session, const ParsedRequest& request);
int32_t HandleMhtmlToPdf(HostSession& session, const ParsedRequest& request);
void HandlePreferences(HostSession& session);

// The request's "title" as a save name: its last path component with the
// characters a file name cannot hold turned into blanks; empty when the title
// is missing or not a string.
void MakeSaveName(const ParsedRequest& request, DWString* save_name);
