// The serving loop: waits for the first request, answers every request
// waiting on standard input, then exits as soon as the input is found
// drained.
#pragma once

#include "host/host_session.h"

// Returns the exit code, 0.
int ServeRequests(HostSession& session);
