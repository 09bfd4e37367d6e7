#include "actions/open_actions.h"

// The editor launch is not wired yet: the requests are accepted and answered.
void HandleOpenPdf(HostSession&, const ParsedRequest&) {}
void HandleOpenByUrl(HostSession&, const ParsedRequest&) {}
void HandleOpenLocalPdf(HostSession&, const ParsedRequest&) {}
