// Large payloads ("openPDF", chunked "MHTMLoPDF") arrive in pieces: the first
// in the request, each further one after the host asks for it with the
// "sendNextData" chunk request. The pieces are joined into one narrow text.
#pragma once

#include <rapidjson/document.h>

#include "host/host_session.h"
#include "host/request.h"
#include "zevar/dstring.h"

// The chunk request, exactly as the browser expects it (42 bytes).
extern const char kChunkRequest[];
constexpr uint32_t kChunkRequestLength = 42;

// Appends the message's "data" string (up to its first NUL) to the payload,
// growing the buffer to the exact need rounded up to 32 bytes. Returns true
// when "dataRest" is an integer that fits a signed 32-bit value and is at
// least 1, that is when more pieces are to come. *appended is false when the
// piece could not be appended (no memory, or the payload would pass its
// length limit); the payload is then unchanged.
bool AppendDataChunk(const rapidjson::Value& message, DString* payload, bool* appended);

// Runs the whole exchange for a request whose first piece is in its own
// "data": asks for and joins the following pieces of the same action, dropping
// anything else. True when the whole payload arrived. False when the transfer
// was broken off (the input ended, or a piece could not be stored): the
// payload is then released, and the handler must give up rather than use a
// partial document. The channel stays at a frame boundary either way.
bool ReceiveChunkedData(HostSession& session, const ParsedRequest& request, ActionId action,
                        DString* payload);
