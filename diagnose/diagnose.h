// The installation check behind "VellumixBrowserHost.exe --diagnose": every
// browser's registration, the policies, and the suite's pieces.
#pragma once

#include "diagnose/report.h"
#include "diagnose/system.h"

struct DiagnoseConfig {
  const char* host;     // the registered name
  const char* version;  // this program's
  const char* chromium_ids;
  const char* firefox_ids;
};

// Returns the exit code: 0 when the host can work, 1 otherwise.
int RunDiagnosis(DiagnoseSystem* system, ReportSink* sink, const DiagnoseConfig& config);
