// The reply envelope that ends every request's exchange.
#pragma once

#include <cstdint>

#include "host/channel.h"
#include "zevar/dstring.h"

// The envelope's JSON text for a state and an answer.
bool ComposeReply(int32_t state, const DWString& answer, DString* text);

// Composes the envelope and writes it as one frame (an empty frame when there
// was no memory to compose it).
void WriteReply(const Channel& channel, int32_t state, const DWString& answer);
