// The actions that open a document in the editor.
#pragma once

#include "host/host_session.h"
#include "host/request.h"

void HandleOpenPdf(HostSession& session, const ParsedRequest& request);
void HandleOpenByUrl(HostSession& session, const ParsedRequest& request);
void HandleOpenLocalPdf(HostSession& session, const ParsedRequest& request);
