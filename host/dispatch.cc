#include "host/dispatch.h"

#include "actions/open_actions.h"
#include "host/request.h"
#include "launch/conversion_job.h"

// Equal to the program's file version.
const DWChar kHostVersion[] = u"11.1.1.0";

int32_t DispatchRequest(HostSession& session, char* text, DWString* answer) {
  ParsedRequest request;
  ParseRequest(text, &request);
  switch (request.action) {
    case kActionMhtmlToPdf:
      return HandleMhtmlToPdf(session, request);
    case kActionPreferences:
      HandlePreferences(session);
      return 0;
    case kActionOpenPdf:
      HandleOpenPdf(session, request);
      return 0;
    case kActionHtmlToPdf:
      return HandleHtmlToPdf(session, request);
    case kActionOpenByUrl:
      HandleOpenByUrl(session, request);
      return 0;
    case kActionCancel:  // no conversion runs between requests
      return 0;
    case kActionOpenLocalPdf:
      HandleOpenLocalPdf(session, request);
      return 0;
    case kActionGetVersion:
      // Without memory for the text no reply could be written either: the
      // answer is then left empty rather than stale.
      if (!answer->Assign(kHostVersion)) answer->Empty();
      return 0;
    case kActionNone:
      break;
  }
  return kStateUnknownAction;
}
