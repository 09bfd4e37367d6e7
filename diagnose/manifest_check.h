// The manifest that a browser's winning registry entry names: readable,
// UTF-8 without a byte-order mark, JSON with the host's "name", "type"
// "stdio", a "path" that names this program, and the configured extensions
// among "allowed_origins" (Chrome's family) or "allowed_extensions" (Firefox).
#pragma once

#include "diagnose/browser_places.h"
#include "diagnose/report.h"

struct ManifestExpectations {
  const char* host;  // the host's registered name
  // The extension ids the build allows, separated by ';': Chrome's family's
  // and Firefox's.
  const char* chromium_ids;
  const char* firefox_ids;
  const char* own_path;  // this program
};

// "path" as the browser resolves it: relative to the manifest's folder.
bool ResolveHostPath(const char* manifest_path, const char* path, DString* resolved);

// Reports each fault under topic; true when the browser can start this host
// through the manifest.
bool CheckManifest(DiagnoseSystem* system, Report& report, const char* topic, ManifestKind kind,
                   const char* manifest_path, const ManifestExpectations& expected);
