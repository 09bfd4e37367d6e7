// Whether a file or folder exists (Windows).
#pragma once

#include <windows.h>

#include "zevar/dstring.h"

// True when the path names an existing file, folder, drive root or share
// root. A path of 248 characters or more is looked up with the long-path
// prefix. When find_data is given it receives the found item's data; for a
// drive or share root only the attributes (and for a share its name) are
// filled in, from what the shell reports.
[[nodiscard]] bool DPathExists(const DWChar* path, WIN32_FIND_DATAW* find_data = nullptr);
