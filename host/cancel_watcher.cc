#include "host/cancel_watcher.h"

#include "host/channel.h"
#include "host/host_session.h"
#include "host/request.h"

void WatchForCancel(ConversionContext& context) {
  HostSession& session = *context.session;
  for (;;) {
    DString message;
    if (ReadMessage(session.channel, &message) != ReadOutcome::kBody) {
      context.cancel_event_name.Empty();
      break;
    }
    ParsedRequest request;
    ParseRequest(message.c_str(), &request);
    if (request.action == kActionCancel) break;
  }
  if (!context.cancel_event_name.empty())
    session.platform->SignalNamedEvent(context.cancel_event_name.c_str());
}
