#include "host/cancel_watcher.h"

#include "host/host_session.h"
#include "host/request.h"

void WatchForCancel(ConversionContext& context) {
  HostSession& session = *context.session;
  InputReader& input = *session.channel.input;
  bool cancelled = false;
  // Room to keep a frame is made before it is read: a frame that could not
  // be kept stays in the pipe for the main loop.
  while (!cancelled && !context.stop_watching && input.ReserveKept()) {
    DString message;
    ReadOutcome outcome = input.ReadFromInput(&message);
    if (outcome == ReadOutcome::kStopped || outcome == ReadOutcome::kEnded) break;
    if (outcome == ReadOutcome::kBody) {
      ParsedRequest request;
      ParseRequest(message.c_str(), &request);
      cancelled = request.action == kActionCancel;
    }
    if (cancelled) break;
    input.Keep(outcome, &message);
    if (outcome == ReadOutcome::kEmptyFrame) break;
  }
  if (!cancelled) {
    context.cancel_event_name.Empty();
    return;
  }
  if (!context.cancel_event_name.empty())
    session.platform->SignalNamedEvent(context.cancel_event_name.c_str());
}
