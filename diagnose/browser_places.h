// Where each browser looks for the host's registration, in its own order
// (the first entry with a value wins), and where its policies live.
#pragma once

#include <cstddef>

#include "diagnose/system.h"

enum class ManifestKind { kChromium, kFirefox };

struct RegistryPlace {
  Hive hive;
  View view;
  const char* vendor;  // the key under SOFTWARE, before \NativeMessagingHosts
};

struct BrowserPlaces {
  const char* name;
  ManifestKind kind;
  // SOFTWARE\Policies\<policies> holds its native-messaging policies; null
  // for a browser without them.
  const char* policies;
  const RegistryPlace* places;
  size_t place_count;
};

// Chrome, Edge, Chromium, Firefox, Brave, Vivaldi.
const BrowserPlaces* Browsers(size_t* count);

const char* HiveName(Hive hive);  // "HKCU" or "HKLM"
const char* ViewName(View view);  // "", " (32-bit view)", " (64-bit view)"
