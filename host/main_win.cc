// The browser starts the host with pipes as standard input and output; the
// arguments it passes are ignored.
#include <cstdio>

#include "host/main_loop.h"
#include "host/platform_win.h"
#include "host/std_input_win.h"
#include "host/std_streams.h"
#include "launch/editor_platform_win.h"
#include "launch/conversion_job_win.h"

int wmain() {
  if (PrepareStdStream(stdin) != 0) return -1;
  if (PrepareStdStream(stdout) != 0) return -1;
  // Standard input has this one reader for the whole run.
  HandleInputSource source(GetStdHandle(STD_INPUT_HANDLE));
  InputReader input(source);
  Win32Platform platform;
  Win32EditorPlatform editor;
  Win32Converter converter;
  HostSession session{{&input, stdout}, &platform, {}, {}, &editor, &converter};
  return ServeRequests(session);
}
