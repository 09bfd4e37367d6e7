// Starts the editor or the converter from its path and an argument text.
#pragma once

#include <cstdint>

#include "launch/conversion_context.h"
#include "zevar/dstring.h"

// The command line is the path (unquoted, as the programs expect it), one
// blank and the arguments. Returns -1 when the program cannot be started;
// otherwise 0 without wait, the context's result when waiting with a context
// (after the window message loop ended and the cancel watcher was stopped;
// a converter that ended without its result gives its exit code, or -1 when
// that is 0), or the process's exit code when waiting without one.
int32_t RunProgram(const DWChar* program_path, const DWChar* arguments, bool wait,
                   ConversionContext* context);
