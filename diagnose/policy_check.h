// The browser policies that decide whether a browser may start the host:
// NativeMessagingBlocklist, NativeMessagingAllowlist and
// NativeMessagingUserLevelHosts under SOFTWARE\Policies\<browser>, the
// machine's (HKLM) before the user's (HKCU).
#pragma once

#include "diagnose/browser_places.h"
#include "diagnose/report.h"

// Whether one of the lines (each ended by '\n') is the host's name or "*".
bool ListNamesHost(const char* lines, const char* host);

struct PolicyOutcome {
  bool blocked = false;
  bool user_level_hosts = true;  // HKCU registrations count
  DString user_level_source;     // where NativeMessagingUserLevelHosts = 0 was set
};

// Reads and reports the browser's policies for the host.
void CheckPolicies(DiagnoseSystem* system, Report& report, const BrowserPlaces& browser,
                   const char* host, PolicyOutcome* outcome);
