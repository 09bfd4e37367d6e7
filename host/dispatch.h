// Routes a request by its action name and yields the reply's state and answer.
#pragma once

#include <cstdint>

#include "host/host_session.h"
#include "zevar/dstring.h"

constexpr int32_t kStateUnknownAction = 0xFF00;
extern const DWChar kHostVersion[];

// Parses the message text in place (it is the caller's and outlives the
// call, but no longer holds the original JSON), runs the action's handler on
// this thread, fills the answer (only "actGetVersion" has one) and returns
// the state.
int32_t DispatchRequest(HostSession& session, char* text, DWString* answer);
