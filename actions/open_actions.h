// The actions that open a document in the editor: "openPDF" (a temporary
// file from the Base64 data URL, started at once), "openByURL" (batched until
// the input is drained) and "openLocalPDF" (a file URL, started at once).
// Whatever happens, the dispatcher answers state 0.
#pragma once

#include "host/host_session.h"
#include "host/request.h"
#include "zevar/dstring.h"

void HandleOpenPdf(HostSession& session, const ParsedRequest& request);
void HandleOpenByUrl(HostSession& session, const ParsedRequest& request);
void HandleOpenLocalPdf(HostSession& session, const ParsedRequest& request);

// The arguments hold the request's text in the form of
// launch/ansi_safe_value.h, and keep the editor's command line (its path, a
// blank and the arguments) within kCommandLineMaxLength. False when they
// cannot, or when memory ran out.

// "/A temp=yes", then ;title="…" and ;url="…" when not empty, then a blank and
// the quoted path. The title is shortened first, then the url.
bool BuildOpenPdfArguments(const DWString& editor, const DWString& title, const DWString& url,
                           const DWString& path, DWString* arguments);

// /A and the quoted file URL, which is never shortened.
bool BuildOpenLocalPdfArguments(const DWString& editor, const DWString& file_url,
                                DWString* arguments);
