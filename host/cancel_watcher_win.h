// The cancel watcher's thread: started when the converter names its cancel
// event, stopped by the conversion job after its message loop.
#pragma once

#include "launch/conversion_context.h"

// Starts the watcher once per conversion: a later name while one was started
// is ignored, so standard input never has two readers. False when the thread
// could not be created (the conversion then cannot be cancelled).
bool StartCancelWatcher(ConversionContext& context);

// Stops the watcher (its blocked read is cancelled), waits for its end and
// closes its handle. The context keeps the handle until then: the watcher itself never
// touches it, so nothing is released while it runs.
void StopCancelWatcher(ConversionContext& context);
