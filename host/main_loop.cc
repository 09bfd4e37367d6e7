#include "host/main_loop.h"

#include "host/dispatch.h"
#include "host/reply.h"

namespace {

// Frames kept by the cancel watcher or begun by a stopped read come first;
// they are no longer in the pipe.
bool InputPending(HostSession& session) {
  if (session.channel.input->HasFramesWaiting()) return true;
  uint32_t available = 0;
  return session.platform->PeekInput(&available) && available > 0;
}

// The browser starts the host to hand it a request, which may still be on
// its way (a large message is serialized first): an open pipe found empty is
// waited on until its first byte or its end. Input that is not a pipe is not.
void AwaitFirstRequest(HostSession& session) {
  uint32_t available = 0;
  if (session.platform->PeekInput(&available) && available == 0)
    session.channel.input->AwaitFirstByte();
}

void ServeOneRequest(HostSession& session) {
  DString message;
  DWString answer;
  int32_t state = ReadMessage(session.channel, &message) == ReadOutcome::kBody
                      ? DispatchRequest(session, message.data(), &answer)
                      : kStateUnknownAction;
  WriteReply(session.channel, state, answer);
}

// The one piece of deferred work: the editor start collected by "openByURL".
void RunPendingEditorLaunch(HostSession& session) {
  DWString& line = session.pending_editor_command_line;
  if (line.empty()) return;
  session.platform->RunCommandLine(session.editor_path_cache.c_str(), line.data());
  line.Empty();
}

}  // namespace

int ServeRequests(HostSession& session) {
  AwaitFirstRequest(session);
  for (;;) {
    while (InputPending(session)) ServeOneRequest(session);
    RunPendingEditorLaunch(session);
    if (!InputPending(session)) return 0;
  }
}
