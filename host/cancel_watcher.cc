#include "host/cancel_watcher.h"

#include "host/host_session.h"
#include "host/request.h"

namespace {

// The frame is kept when it is not a "cancel": it is read, not parsed in place.
bool IsCancel(const DString& message) {
  return FindRequestAction(message.c_str()) == kActionCancel;
}

}  // namespace

void WatchForCancel(ConversionContext& context) {
  HostSession& session = *context.session;
  InputReader& input = *session.channel.input;
  // Room to keep a frame is made before it is read: a frame that could not
  // be kept stays in the pipe for the main loop.
  while (!context.stop_watching && input.ReserveKept()) {
    DString message;
    ReadOutcome outcome = input.ReadFromInput(&message);
    if (outcome == ReadOutcome::kStopped || outcome == ReadOutcome::kEnded) break;
    if (outcome == ReadOutcome::kBody && IsCancel(message)) {
      if (!context.cancel_event_name.empty())
        session.platform->SignalNamedEvent(context.cancel_event_name.c_str());
      return;
    }
    input.Keep(outcome, &message);
    if (outcome == ReadOutcome::kEmptyFrame) break;
  }
  context.cancel_event_name.Empty();
}
