// What lives for the whole run of the host: the channel, the platform, and
// the two process-wide strings that the editor launch keeps.
#pragma once

#include "host/channel.h"
#include "host/platform.h"
#include "zevar/dstring.h"

class EditorPlatform;
class Converter;

struct HostSession {
  Channel channel;
  HostPlatform* platform;
  // "openByURL" launches collected for one start of the editor once the
  // input is drained.
  DWString pending_editor_command_line;
  // The editor's path once it was found.
  DWString editor_path_cache;
  // Finding, reporting and starting the editor.
  EditorPlatform* editor = nullptr;
  // Runs the converter for the conversion requests (launch/converter.h).
  Converter* converter = nullptr;
};
