// The browser starts the host with pipes as standard input and output. Of
// the arguments it passes, only the window it may name is read (for the
// settings dialog's owner). A person may ask for the installation check
// instead (diagnose/console_start_win.h).
#include <cstdio>

#include "diagnose/console_start_win.h"
#include "host/main_loop.h"
#include "host/platform_win.h"
#include "host/std_input_win.h"
#include "host/std_streams.h"
#include "launch/editor_platform_win.h"
#include "launch/conversion_job_win.h"
#include "launch/owner_window.h"

int wmain(int argc, wchar_t** argv) {
  if (int code = 0; RunConsoleStart(argc, argv, &code)) return code;
  if (PrepareStdStream(stdin) != 0) return -1;
  if (PrepareStdStream(stdout) != 0) return -1;
  // Standard input has this one reader for the whole run.
  HandleInputSource source(GetStdHandle(STD_INPUT_HANDLE));
  InputReader input(source);
  Win32Platform platform;
  Win32EditorPlatform editor;
  Win32Converter converter(
      ParentWindowArgument(argc - 1, reinterpret_cast<const DWChar* const*>(argv + 1)));
  HostSession session{{&input, stdout}, &platform, {}, {}, &editor, &converter};
  return ServeRequests(session);
}
