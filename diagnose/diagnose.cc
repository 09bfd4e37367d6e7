#include "diagnose/diagnose.h"

#include "diagnose/registration_check.h"
#include "diagnose/suite_check.h"

int RunDiagnosis(DiagnoseSystem* system, ReportSink* sink, const DiagnoseConfig& config) {
  Report report(sink);
  DString own_path;
  if (!system->OwnPath(&own_path)) {
    report.Problem("host", "Run the check again.", "this program's own path cannot be read.");
    return report.Finish();
  }
  CheckSuite(system, report, config.version, own_path.c_str());
  ManifestExpectations expected{config.host, config.chromium_ids, config.firefox_ids,
                                own_path.c_str()};
  if (CheckBrowsers(system, report, expected) == 0)
    report.Problem("browsers", "Reinstall the host package (msiexec /i).",
                   "no browser can start the host.");
  return report.Finish();
}
