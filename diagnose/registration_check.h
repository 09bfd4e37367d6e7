// For each browser: every place it looks for the host's registry entry, in
// its order, the entry that wins, its manifest and the policies about it.
#pragma once

#include "diagnose/manifest_check.h"

// Reports each browser; returns how many can start this host.
int CheckBrowsers(DiagnoseSystem* system, Report& report, const ManifestExpectations& expected);

// The key of the host's entry under HKCU or HKLM.
bool HostKey(const char* vendor, const char* host, DString* key);
