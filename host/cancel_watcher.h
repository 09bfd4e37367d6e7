// The cancel watcher: while a conversion runs, it reads the channel and turns
// the first "cancel" request into a signal on the converter's event.
#pragma once

#include "launch/conversion_context.h"

// The watcher's loop. Every other frame it reads is kept, in order, for the
// main loop to serve after the conversion; a "cancel" that it acts on gets no
// reply. It ends at the "cancel", at a frame of length 0 or less, when the
// input ends, when its read is stopped or the job asked it to stop; ending
// without a "cancel" empties the event name and signals nothing.
void WatchForCancel(ConversionContext& context);
