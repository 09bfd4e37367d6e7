// The converter's settings dialog, started so that it outlives the host: a
// browser may end the host's job object as soon as the host has exited.
#pragma once

#include <windows.h>

#include "zevar/dstring.h"

// Finds a program by its bare name as the shell does: its App Paths
// registration (the user's, then the machine's), then the current folder,
// then the search path. False (path empty) when none of them has it.
[[nodiscard]] bool FindProgramLikeShell(const DWChar* name, DWString* path);

// Starts the program found by name with the arguments and SW_SHOW, out of
// the host's job where the job allows it and in it where not; when it is not
// found or does not start, the shell is asked to start it. Nothing is waited
// for.
void StartDetachedLikeShell(const DWChar* name, const DWChar* arguments);
