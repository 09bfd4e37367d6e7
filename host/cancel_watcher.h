// The cancel watcher: while a conversion runs, it reads the channel and turns
// the first "cancel" request into a signal on the converter's event.
#pragma once

#include "launch/conversion_context.h"

// The watcher's loop. Requests other than "cancel" are dropped unanswered.
// An empty read (end of input, a cancelled read, a length of 0 or less)
// empties the event name and ends the loop without signalling.
void WatchForCancel(ConversionContext& context);
