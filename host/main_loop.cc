#include "host/main_loop.h"

#include "host/dispatch.h"
#include "host/reply.h"

namespace {

bool InputPending(HostPlatform& platform) {
  uint32_t available = 0;
  return platform.PeekInput(&available) && available > 0;
}

void ServeOneRequest(HostSession& session) {
  DString message;
  ReadMessage(session.channel, &message);
  DWString answer;
  int32_t state = DispatchRequest(session, message.c_str(), &answer);
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
  for (;;) {
    while (InputPending(*session.platform)) ServeOneRequest(session);
    RunPendingEditorLaunch(session);
    if (!InputPending(*session.platform)) return 0;
  }
}
