#include "launch/conversion_job.h"

// The converter is not wired yet: the requests are accepted and answered.
int32_t HandleHtmlToPdf(HostSession&, const ParsedRequest&) { return 0; }
int32_t HandleMhtmlToPdf(HostSession&, const ParsedRequest&) { return 0; }
void HandlePreferences(HostSession&) {}
