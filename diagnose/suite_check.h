// The rest of the suite that the host's requests need: the host's own
// version and signature, the editor, the converter beside the host and the
// temporary folder.
#pragma once

#include "diagnose/report.h"
#include "diagnose/system.h"

void CheckSuite(DiagnoseSystem* system, Report& report, const char* version, const char* own_path);
